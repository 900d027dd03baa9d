#pragma once
#include <memory>

// While it lives, the calling thread's C library reads and writes
// multibyte text as UTF-8, whatever the process's locale (a program that
// set none is in "C", where a Cyrillic name cannot be converted at all).
// libarchive converts the names of entries through that locale on POSIX;
// on Windows it converts through code pages and this does nothing. The
// process's own locale, and every other thread's, are left alone. Made and
// destroyed on the same thread, innermost first.
class CUtf8ThreadLocale {
public:
    CUtf8ThreadLocale();
    ~CUtf8ThreadLocale();
    CUtf8ThreadLocale(const CUtf8ThreadLocale&) = delete;
    CUtf8ThreadLocale& operator=(const CUtf8ThreadLocale&) = delete;

private:
    struct CHold; // the platform's locale and the one it replaced
    std::unique_ptr<CHold> m_pHold;
};

#pragma once
#include <memory>
#include <string_view>

// The rule that only one copy of the program runs, as each platform keeps
// it: on Windows the named mutex with GetLastError (SingleInstance_Win32.cpp),
// elsewhere a lock file named after the mutex in the user's runtime folder
// (SingleInstance_Posix.cpp; a copy that crashed leaves a stale lock, which
// the next start takes over). The program's main thread only.
class CSingleInstance {
public:
    explicit CSingleInstance(std::wstring_view strName);
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;
    // Whether this copy holds the rule (no other copy runs).
    bool IsFirst() const { return m_bFirst; }
    void Release();

private:
    struct CHold; // the platform's lock
    std::unique_ptr<CHold> m_pHold;
    bool m_bFirst = false;
};

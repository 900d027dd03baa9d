#pragma once
#include <QLockFile>
#include <memory>
#include <string_view>

// The rule that only one copy of the program runs: a lock file named after
// the program's instance name in the user's runtime folder. A copy that
// crashed leaves a stale lock, which the next start takes over.
class CSingleInstance {
public:
    explicit CSingleInstance(std::wstring_view strName);
    // Whether this copy holds the lock (no other copy runs).
    bool IsFirst() const { return m_bFirst; }
    void Release();

private:
    std::unique_ptr<QLockFile> m_pLock;
    bool m_bFirst = false;
};

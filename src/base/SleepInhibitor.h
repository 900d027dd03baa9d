#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Keeps the computer from suspending or sleeping when idle while it is held,
// so that an update writing for minutes is not cut off by a laptop going to
// sleep. How is the platform's: SleepInhibitor_Posix.cpp takes a logind
// inhibitor lock ("sleep:idle", mode "block") on the system bus and keeps
// its file descriptor; SleepInhibitor_Win32.cpp marks the calling thread as
// needing the system (SetThreadExecutionState).
//
// A computer that cannot be kept awake (no system bus, no logind, the lock
// refused) is no reason to stop an update: Acquire then answers false, and
// the trace says why the first time only. Keep one object for the front
// end's life and Acquire and Release it at each update, so that this is said
// once per process rather than at every update.
//
// Threads: one thread, the front end's own, calls Acquire, Release, IsHeld
// and the destructor. Windows ties the request to the thread that made it,
// so only that thread can end it.
class CSleepInhibitor {
public:
    CSleepInhibitor() = default;
    ~CSleepInhibitor();
    CSleepInhibitor(const CSleepInhibitor&) = delete;
    CSleepInhibitor& operator=(const CSleepInhibitor&) = delete;

    // Answers whether the system now holds the computer awake. wzWhy is why,
    // in the front end's language: on Linux logind shows it to whoever asks
    // the computer to sleep (a desktop's logout dialog, `systemd-inhibit
    // --list`); Windows shows none. Already held:
    // nothing is asked again, and the answer is true. Blocks for at most a
    // few seconds while the system answers.
    bool Acquire(std::wstring_view wzWhy);
    // Lets the computer sleep again; nothing when not held.
    void Release();
    bool IsHeld() const { return m_bHeld; }

private:
    // The platform's part: take the lock (strWhyNot says why it could not)
    // and give it back.
    bool AcquireNative(std::wstring_view wzWhy, std::wstring& strWhyNot);
    void ReleaseNative();

    bool m_bHeld = false;
    bool m_bToldMaySleep = false;  // the trace has said once that it may sleep
    std::intptr_t m_hLock = -1;    // logind's lock descriptor; unused on Windows
};

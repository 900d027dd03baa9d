// Windows keeps the computer awake while a thread says it needs the system;
// the request belongs to that thread, which alone can withdraw it. Windows
// shows no reason for it, so the why is not passed on.
#include "SleepInhibitor.h"

#include "Win32Names.h"

bool CSleepInhibitor::AcquireNative(std::wstring_view, std::wstring& strWhyNot)
{
    if (::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0)
        return true;
    strWhyNot = L"SetThreadExecutionState refused";
    return false;
}

void CSleepInhibitor::ReleaseNative() { ::SetThreadExecutionState(ES_CONTINUOUS); }

#include "SleepInhibitor.h"

#include "DebugPrint.h"

CSleepInhibitor::~CSleepInhibitor() { Release(); }

bool CSleepInhibitor::Acquire(std::wstring_view wzWhy)
{
    if (m_bHeld)
        return true;
    std::wstring strWhyNot;
    m_bHeld = AcquireNative(wzWhy, strWhyNot);
    if (m_bHeld) {
        DebugPrint(L"[Power] the computer is kept awake until the update ends\r\n");
    } else if (!m_bToldMaySleep) {
        // Once: a system without the means says so at every update alike.
        m_bToldMaySleep = true;
        DebugPrint(L"[Power] the computer may sleep during the update: %ls\r\n", strWhyNot.c_str());
    }
    return m_bHeld;
}

void CSleepInhibitor::Release()
{
    if (!m_bHeld)
        return;
    ReleaseNative();
    m_bHeld = false;
    DebugPrint(L"[Power] the computer may sleep again\r\n");
}

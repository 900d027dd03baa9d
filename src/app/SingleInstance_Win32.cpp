// One copy at a time on Windows: the named mutex. Whoever creates it first
// runs; a second copy finds it already there (ERROR_ALREADY_EXISTS).
#include "SingleInstance.h"

#include <string>

#include "Win32Names.h"

struct CSingleInstance::CHold {
    HANDLE hMutex = nullptr;
};

CSingleInstance::CSingleInstance(std::wstring_view strName) : m_pHold(std::make_unique<CHold>())
{
    const std::wstring strMutex(strName);
    m_pHold->hMutex = ::CreateMutexW(nullptr, FALSE, strMutex.c_str());
    m_bFirst = m_pHold->hMutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
}

CSingleInstance::~CSingleInstance() { Release(); }

void CSingleInstance::Release()
{
    if (m_pHold->hMutex != nullptr) {
        ::CloseHandle(m_pHold->hMutex);
        m_pHold->hMutex = nullptr;
    }
    m_bFirst = false;
}

#include "Task.h"

#include <algorithm>

CTask::CTask(std::uint32_t dwMaxTries, std::uint32_t dwLongWait, std::uint32_t dwShortWait)
    : m_dwMaxTries(dwMaxTries), m_dwLongWait(std::max(dwLongWait, dwShortWait)),
      m_dwShortWait(dwShortWait)
{
}

bool CTask::NextTry()
{
    if (m_dwTriesUsed >= m_dwMaxTries)
        return false;
    ++m_dwTriesUsed;
    return true;
}

void CTask::SetLongWait(std::uint32_t dwLongWait)
{
    m_dwLongWait = std::max(dwLongWait, m_dwShortWait);
}

void CTask::SetShortWait(std::uint32_t dwShortWait)
{
    m_dwShortWait = dwShortWait;
    m_dwLongWait = std::max(m_dwLongWait, dwShortWait);
}

#include "UniqueFd.h"

#include <unistd.h>

CUniqueFd& CUniqueFd::operator=(CUniqueFd&& Other) noexcept
{
    if (this != &Other)
        Reset(Other.Release());
    return *this;
}

void CUniqueFd::Reset(int fd)
{
    if (m_fd >= 0 && m_fd != fd)
        ::close(m_fd);
    m_fd = fd;
}

int CUniqueFd::Release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

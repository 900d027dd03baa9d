#include "SimPty.h"

#include <cerrno>
#include <system_error>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "TextCatalog.h"

bool CSimPty::Open(const std::string& strPortDir, unsigned nCom, ELanguage eLanguage, std::string& strError)
{
    Close();
    // Raw from the start: with echo on, the host's frames would come back to
    // the device before the host has set the line up.
    termios tio{};
    cfmakeraw(&tio);
    int fdMaster = -1;
    int fdSlave = -1;
    char szName[256] = {};
    if (::openpty(&fdMaster, &fdSlave, szName, &tio, nullptr) != 0) {
        strError = "openpty: " + std::generic_category().message(errno);
        return false;
    }
    m_Master.Reset(fdMaster);
    m_Slave.Reset(fdSlave);
    ::fcntl(fdMaster, F_SETFL, ::fcntl(fdMaster, F_GETFL) | O_NONBLOCK);
    ::fcntl(fdMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(fdSlave, F_SETFD, FD_CLOEXEC);
    m_strSlave = szName;
    m_OpenWatch.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (m_OpenWatch.IsValid() && ::inotify_add_watch(m_OpenWatch.Get(), szName, IN_OPEN) < 0)
        m_OpenWatch.Reset();

    const std::string strLink = strPortDir + "/COM" + std::to_string(nCom);
    for (int nTry = 0; nTry < 2; ++nTry) {
        if (::symlink(m_strSlave.c_str(), strLink.c_str()) == 0) {
            m_strLink = strLink;
            return true;
        }
        struct stat st{};
        // A link left by a device that is gone may be replaced; a live one
        // belongs to another device.
        if (errno == EEXIST && nTry == 0 && ::stat(strLink.c_str(), &st) != 0) {
            ::unlink(strLink.c_str());
            continue;
        }
        strError = errno == EEXIST ? FormatText(eLanguage, "{1} занят другим устройством", {strLink})
                                   : strLink + ": " + std::generic_category().message(errno);
        break;
    }
    Close();
    return false;
}

long CSimPty::Read(std::span<std::uint8_t> Buffer)
{
    if (!m_Master.IsValid())
        return -1;
    const ssize_t nRead = ::read(m_Master.Get(), Buffer.data(), Buffer.size());
    if (nRead >= 0)
        return nRead;
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

bool CSimPty::WriteAll(std::span<const std::uint8_t> Bytes, int nTimeoutMs)
{
    std::size_t nDone = 0;
    while (m_Master.IsValid() && nDone < Bytes.size()) {
        const ssize_t nWritten = ::write(m_Master.Get(), Bytes.data() + nDone, Bytes.size() - nDone);
        if (nWritten > 0) {
            nDone += static_cast<std::size_t>(nWritten);
            continue;
        }
        if (nWritten < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The host is not reading; its side holds only so much.
        pollfd pfd{m_Master.Get(), POLLOUT, 0};
        if (::poll(&pfd, 1, nTimeoutMs) <= 0)
            return false;
    }
    return nDone == Bytes.size();
}

std::size_t CSimPty::GetUnread() const
{
    int nPending = 0;
    if (!m_Slave.IsValid() || ::ioctl(m_Slave.Get(), FIONREAD, &nPending) != 0 || nPending < 0)
        return 0;
    return static_cast<std::size_t>(nPending);
}

bool CSimPty::TakeOpened()
{
    if (!m_OpenWatch.IsValid())
        return false;
    bool bOpened = false;
    alignas(inotify_event) char szEvents[4096];
    for (;;) {
        const ssize_t nRead = ::read(m_OpenWatch.Get(), szEvents, sizeof szEvents);
        if (nRead <= 0)
            return bOpened;
        // Only IN_OPEN is watched: every event is an open.
        bOpened = true;
    }
}

void CSimPty::AllowReopen() const
{
    // The host asks for exclusive use when it opens the port. The flag
    // outlives its close while the device holds the slave, and would keep
    // it from opening the port again; it guards against other programs with
    // a lock of its own, which this does not touch.
    if (m_Slave.IsValid())
        ::ioctl(m_Slave.Get(), TIOCNXCL);
}

void CSimPty::Close()
{
    if (!m_strLink.empty()) {
        // Only our own link: another device may have taken the name since.
        char szTarget[256] = {};
        const ssize_t nLen = ::readlink(m_strLink.c_str(), szTarget, sizeof szTarget - 1);
        if (nLen > 0 && m_strSlave == std::string(szTarget, static_cast<std::size_t>(nLen)))
            ::unlink(m_strLink.c_str());
        m_strLink.clear();
    }
    // The master first: that hangs the line up for whoever has the slave.
    m_Master.Reset();
    m_Slave.Reset();
}

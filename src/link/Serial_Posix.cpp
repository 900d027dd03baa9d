// POSIX back end of the serial port. The line is set through termios2 so
// that rates which are not standard termios speeds (256000) work; this file
// must therefore not include <termios.h>.
#include "SerialBackend.h"

#include <asm/termbits.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "PortTable.h"

namespace {

using ASteady = std::chrono::steady_clock;

int RemainingMs(ASteady::time_point tDeadline)
{
    const auto nLeft =
        std::chrono::duration_cast<std::chrono::milliseconds>(tDeadline - ASteady::now()).count();
    return nLeft < 0 ? 0 : static_cast<int>(nLeft);
}

bool IsGoneError(int nError)
{
    return nError == EIO || nError == ENXIO || nError == ENODEV || nError == EBADF;
}

// What wakes every poll of the port at once: a pipe whose read end is
// polled beside the port. A flag too, so that a wait that begins after the
// wake-up ends at once without depending on the byte still being there.
class CWakePipe {
public:
    CWakePipe()
    {
        if (::pipe2(m_fd, O_CLOEXEC | O_NONBLOCK) != 0)
            m_fd[0] = m_fd[1] = -1;
    }
    ~CWakePipe()
    {
        for (const int fd : m_fd)
            if (fd >= 0)
                ::close(fd);
    }
    CWakePipe(const CWakePipe&) = delete;
    CWakePipe& operator=(const CWakePipe&) = delete;

    void Raise()
    {
        m_bRaised = true;
        // A full pipe already wakes every poll: a failed write loses nothing.
        const char cByte = 1;
        if (m_fd[1] >= 0 && ::write(m_fd[1], &cByte, 1) < 0)
            return;
    }
    void Clear()
    {
        m_bRaised = false;
        char szDrain[64];
        while (m_fd[0] >= 0 && ::read(m_fd[0], szDrain, sizeof szDrain) > 0) {
        }
    }
    bool IsRaised() const { return m_bRaised; }
    int GetFd() const { return m_fd[0]; }

private:
    int m_fd[2] = {-1, -1};
    std::atomic<bool> m_bRaised{false};
};

class CSerial_Posix final : public CSerialBackend {
public:
    ~CSerial_Posix() override { ClosePort(); }

    bool OpenPort(unsigned nPort) override
    {
        ClosePort();
        m_Wake.Clear();
        const std::string strPath = BeginOpen(nPort);
        if (strPath.empty())
            return false;
        const int fd = ::open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            m_eOpenError = errno == EACCES || errno == EPERM ? EOpenError::Denied
                         : errno == EBUSY                    ? EOpenError::InUse
                         : errno == ENOENT || errno == ENXIO || errno == ENODEV
                             ? EOpenError::NoSuchPort
                             : EOpenError::Other;
            return false;
        }
        // No sharing: another program (or another copy of this one) that has
        // the port keeps it.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            m_eOpenError = EOpenError::InUse;
            return false;
        }
        m_eOpenError = EOpenError::None;
        ::ioctl(fd, TIOCEXCL);
        AskLowLatency(fd);
        m_fd = fd;
        return true;
    }

    bool IsOpen() const override { return m_fd >= 0; }

    void ClosePort() override
    {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    void Interrupt() override { m_Wake.Raise(); }

    bool SetLine(const CLine& Line) override
    {
        if (m_fd < 0)
            return false;
        termios2 tio{};
        if (::ioctl(m_fd, TCGETS2, &tio) != 0)
            return false;
        // Raw mode: no line editing, no translation, no flow control.
        tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                              ICRNL | IXON | IXOFF | IXANY | INPCK);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CBAUD);
        tio.c_cflag |= CLOCAL | CREAD | BOTHER | DataBitsFlag(Line.btDataBits);
        if (Line.btParity == 1)
            tio.c_cflag |= PARENB | PARODD;
        else if (Line.btParity == 2)
            tio.c_cflag |= PARENB;
        if (Line.btStopBits == 2)
            tio.c_cflag |= CSTOPB;
        tio.c_ispeed = Line.dwBaud;
        tio.c_ospeed = Line.dwBaud;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        if (::ioctl(m_fd, TCSETS2, &tio) != 0)
            return false;
        SetModemLine(TIOCM_DTR, Line.bDtr);
        SetModemLine(TIOCM_RTS, Line.bRts);
        return true;
    }

    bool Purge() override { return m_fd >= 0 && ::ioctl(m_fd, TCFLSH, TCIOFLUSH) == 0; }

    bool WriteAll(std::span<const std::uint8_t> Bytes, std::uint32_t dwTimeoutMs) override
    {
        if (m_fd < 0)
            return false;
        const auto tDeadline = ASteady::now() + std::chrono::milliseconds(dwTimeoutMs);
        std::size_t nDone = 0;
        while (nDone < Bytes.size()) {
            const ssize_t nWritten = ::write(m_fd, Bytes.data() + nDone, Bytes.size() - nDone);
            if (nWritten > 0) {
                nDone += static_cast<std::size_t>(nWritten);
                continue;
            }
            if (nWritten < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            const int nWait = dwTimeoutMs == 0 ? -1 : RemainingMs(tDeadline);
            if (dwTimeoutMs != 0 && nWait == 0)
                return false;
            short nEvents = 0;
            const EWait eWait = Wait(POLLOUT, nWait, nEvents);
            if (eWait == EWait::Woken || eWait == EWait::Failed)
                return false;
            if (nEvents & (POLLERR | POLLHUP | POLLNVAL))
                return false;
        }
        return true;
    }

    int ReadTimed(std::span<std::uint8_t> Buffer, std::uint32_t dwIntervalMs,
                  std::uint32_t dwTotalMs) override
    {
        if (m_fd < 0)
            return -1;
        const auto tDeadline = ASteady::now() + std::chrono::milliseconds(dwTotalMs);
        std::size_t nGot = 0;
        while (nGot < Buffer.size()) {
            int nWait = RemainingMs(tDeadline);
            if (nGot > 0)
                nWait = std::min<int>(nWait, static_cast<int>(dwIntervalMs));
            short nEvents = 0;
            if (Wait(POLLIN, nWait, nEvents) != EWait::Ready || !(nEvents & POLLIN))
                break;
            const ssize_t nRead = ::read(m_fd, Buffer.data() + nGot, Buffer.size() - nGot);
            if (nRead <= 0)
                break;
            nGot += static_cast<std::size_t>(nRead);
        }
        return static_cast<int>(nGot);
    }

    EReadResult ReadAvailable(std::span<std::uint8_t> Buffer, std::uint32_t dwWaitMs,
                              std::uint32_t& dwRead) override
    {
        dwRead = 0;
        if (m_fd < 0)
            return EReadResult::Gone;
        short nEvents = 0;
        switch (Wait(POLLIN, static_cast<int>(dwWaitMs), nEvents)) {
        case EWait::Failed: return EReadResult::Gone;
        case EWait::Woken:
        case EWait::TimedOut: return EReadResult::Nothing;
        case EWait::Ready: break;
        }
        if (nEvents & POLLIN) {
            const ssize_t nRead = ::read(m_fd, Buffer.data(), Buffer.size());
            if (nRead > 0) {
                dwRead = static_cast<std::uint32_t>(nRead);
                return EReadResult::Data;
            }
            if (nRead < 0 && (errno == EAGAIN || errno == EINTR))
                return EReadResult::Nothing;
            if (nRead < 0 && !IsGoneError(errno))
                return EReadResult::Nothing;
            return EReadResult::Gone;
        }
        if (nEvents & (POLLERR | POLLHUP | POLLNVAL))
            return EReadResult::Gone;
        return EReadResult::Nothing;
    }


private:
    enum class EWait { Ready, TimedOut, Woken, Failed };

    // Waits up to nWaitMs (-1: no limit) for nWant on the port, or for the
    // wake-up; nEvents: what the port reported.
    EWait Wait(short nWant, int nWaitMs, short& nEvents) const
    {
        nEvents = 0;
        if (m_Wake.IsRaised())
            return EWait::Woken;
        pollfd pfd[2] = {{m_fd, nWant, 0}, {m_Wake.GetFd(), POLLIN, 0}};
        const int nReady = ::poll(pfd, m_Wake.GetFd() >= 0 ? 2 : 1, nWaitMs);
        if (nReady < 0)
            return errno == EINTR ? EWait::TimedOut : EWait::Failed;
        if (m_Wake.IsRaised() || (pfd[1].revents & POLLIN))
            return EWait::Woken;
        nEvents = pfd[0].revents;
        return nReady == 0 ? EWait::TimedOut : EWait::Ready;
    }

    static tcflag_t DataBitsFlag(std::uint8_t btBits)
    {
        switch (btBits) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        default: return CS8;
        }
    }

    // USB serial adapters hold received bytes back for up to 16 ms to fill
    // their packets; every answer of the device would wait that long, which
    // caps 16-byte firmware records at about 1 KiB/s. Low latency makes the
    // driver pass bytes on at once. Ports without the setting (a
    // pseudo-terminal, some drivers) refuse, and are used as they are.
    static void AskLowLatency(int fd)
    {
        serial_struct ASerial{};
        if (::ioctl(fd, TIOCGSERIAL, &ASerial) != 0 || (ASerial.flags & ASYNC_LOW_LATENCY) != 0)
            return;
        ASerial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &ASerial);
    }

    // A port without modem lines (a pseudo-terminal) refuses; that is fine.
    void SetModemLine(int nLine, bool bOn)
    {
        ::ioctl(m_fd, bOn ? TIOCMBIS : TIOCMBIC, &nLine);
    }

    int m_fd = -1;
    CWakePipe m_Wake;
};

} // namespace

std::unique_ptr<CSerialBackend> CSerialBackend::Create()
{
    return std::make_unique<CSerial_Posix>();
}

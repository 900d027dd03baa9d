// Win32 back end of the serial port: CreateFileW on "\\.\COMn", the line
// through GetCommState/SetCommState, and overlapped reads and writes. A read
// waits for received bytes with WaitCommEvent(EV_RXCHAR) and then takes what
// is there: an overlapped ReadFile with the MAXDWORD/MAXDWORD/10 time-outs
// never completes under Wine, which the tests run on, while this works on
// Windows and under Wine alike.
#include "SerialBackend.h"

#include <algorithm>
#include <chrono>
#include <mutex>

#include "DebugPrint.h"
#include "PortTable.h"
#include "Win32Names.h"

namespace {

using ASteady = std::chrono::steady_clock;

// The errors that mean the device is gone (unplugged, its driver stopped):
// a read loop that took them for "nothing yet" would spin until the stall
// limit.
bool IsGoneError(DWORD dwError)
{
    switch (dwError) {
    case ERROR_ACCESS_DENIED:
    case ERROR_GEN_FAILURE:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_BROKEN_PIPE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_DEVICE_REMOVED:
    case ERROR_NOT_READY: // Wine, when the terminal behind the port has gone
        return true;
    default:
        return false;
    }
}

DWORD RemainingMs(ASteady::time_point tDeadline)
{
    const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(tDeadline - ASteady::now()).count();
    return nLeft < 0 ? 0 : static_cast<DWORD>(nLeft);
}

// An event for one kind of overlapped operation, closed with its owner.
class COverlapped {
public:
    COverlapped() { m_Ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~COverlapped() { ::CloseHandle(m_Ov.hEvent); }
    COverlapped(const COverlapped&) = delete;
    COverlapped& operator=(const COverlapped&) = delete;
    OVERLAPPED* Reset()
    {
        const HANDLE hEvent = m_Ov.hEvent;
        m_Ov = OVERLAPPED{};
        m_Ov.hEvent = hEvent;
        ::ResetEvent(hEvent);
        return &m_Ov;
    }
    OVERLAPPED* Get() { return &m_Ov; }

private:
    OVERLAPPED m_Ov{};
};

class CSerial_Win32 final : public CSerialBackend {
public:
    ~CSerial_Win32() override { ClosePort(); }

    bool OpenPort(unsigned nPort) override
    {
        ClosePort();
        const std::string strPath = BeginOpen(nPort);
        if (strPath.empty())
            return false;
        const std::wstring wstrPath(strPath.begin(), strPath.end());
        const HANDLE hPort = ::CreateFileW(wstrPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (hPort == INVALID_HANDLE_VALUE) {
            // A COM port is opened for exclusive use: access denied, or a
            // sharing violation, means another program has it.
            const DWORD dwError = ::GetLastError();
            m_eOpenError = dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? EOpenError::NoSuchPort
                         : dwError == ERROR_ACCESS_DENIED || dwError == ERROR_SHARING_VIOLATION ? EOpenError::InUse
                                                                                                   : EOpenError::Other;
            return false;
        }
        m_hPort = hPort;
        ::SetupComm(m_hPort, 8192, 8192);
        // Reads take what has arrived and return at once; the wait for bytes
        // is WaitCommEvent's.
        COMMTIMEOUTS ATimeouts{};
        ATimeouts.ReadIntervalTimeout = MAXDWORD;
        ::SetCommTimeouts(m_hPort, &ATimeouts);
        ::SetCommMask(m_hPort, EV_RXCHAR);
        m_eOpenError = EOpenError::None;
        return true;
    }

    bool IsOpen() const override { return m_hPort != INVALID_HANDLE_VALUE; }

    void ClosePort() override
    {
        if (m_hPort != INVALID_HANDLE_VALUE) {
            // Closing the handle ends a pending wait.
            ::CloseHandle(m_hPort);
            m_hPort = INVALID_HANDLE_VALUE;
        }
        m_bWaitPending = false;
    }

    bool SetLine(const CLine& Line) override
    {
        if (!IsOpen())
            return false;
        DCB ADcb{};
        ADcb.DCBlength = sizeof ADcb;
        if (!::GetCommState(m_hPort, &ADcb))
            return false;
        ADcb.BaudRate = Line.dwBaud;
        ADcb.ByteSize = Line.btDataBits;
        ADcb.Parity = Line.btParity == 1 ? ODDPARITY : Line.btParity == 2 ? EVENPARITY : NOPARITY;
        ADcb.StopBits = Line.btStopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
        ADcb.fBinary = TRUE;
        ADcb.fParity = Line.btParity != 0 ? TRUE : FALSE;
        ADcb.fOutxCtsFlow = FALSE;
        ADcb.fOutxDsrFlow = FALSE;
        ADcb.fDsrSensitivity = FALSE;
        ADcb.fOutX = FALSE;
        ADcb.fInX = FALSE;
        ADcb.fNull = FALSE;
        ADcb.fAbortOnError = FALSE;
        ADcb.fDtrControl = Line.bDtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        ADcb.fRtsControl = Line.bRts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        return ::SetCommState(m_hPort, &ADcb) != 0;
    }

    bool Purge() override
    {
        return IsOpen() && ::PurgeComm(m_hPort, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT) != 0;
    }

    bool WriteAll(std::span<const std::uint8_t> Bytes, std::uint32_t dwTimeoutMs) override
    {
        if (!IsOpen())
            return false;
        // One overlapped write at a time: the frames of two threads must not
        // share the write's event.
        std::lock_guard<std::mutex> ALock(m_WriteLock);
        OVERLAPPED* pOv = m_Write.Reset();
        DWORD dwWritten = 0;
        if (!::WriteFile(m_hPort, Bytes.data(), static_cast<DWORD>(Bytes.size()), &dwWritten, pOv)) {
            if (::GetLastError() != ERROR_IO_PENDING)
                return false;
            if (::WaitForSingleObject(pOv->hEvent, dwTimeoutMs == 0 ? INFINITE : dwTimeoutMs) != WAIT_OBJECT_0) {
                // A line that takes no bytes must not hold the writer.
                ::CancelIo(m_hPort);
                ::GetOverlappedResult(m_hPort, pOv, &dwWritten, TRUE);
                return false;
            }
            if (!::GetOverlappedResult(m_hPort, pOv, &dwWritten, FALSE))
                return false;
        }
        return dwWritten == Bytes.size();
    }

    int ReadTimed(std::span<std::uint8_t> Buffer, std::uint32_t dwIntervalMs, std::uint32_t dwTotalMs) override
    {
        if (!IsOpen())
            return -1;
        const auto tDeadline = ASteady::now() + std::chrono::milliseconds(dwTotalMs);
        std::size_t nGot = 0;
        while (nGot < Buffer.size()) {
            DWORD dwWait = RemainingMs(tDeadline);
            if (nGot > 0)
                dwWait = std::min<DWORD>(dwWait, dwIntervalMs);
            if (WaitForBytes(dwWait) != EWait::Bytes)
                break;
            DWORD dwRead = 0;
            if (!ReadNow(Buffer.subspan(nGot), dwRead) || dwRead == 0)
                break;
            nGot += dwRead;
        }
        return static_cast<int>(nGot);
    }

    EReadResult ReadAvailable(std::span<std::uint8_t> Buffer, std::uint32_t dwWaitMs, std::uint32_t& dwRead) override
    {
        dwRead = 0;
        if (!IsOpen())
            return EReadResult::Gone;
        switch (WaitForBytes(dwWaitMs)) {
        case EWait::Gone: return EReadResult::Gone;
        case EWait::Nothing: return EReadResult::Nothing;
        case EWait::Bytes: break;
        }
        DWORD dwGot = 0;
        if (!ReadNow(Buffer, dwGot))
            return Failed() == EWait::Gone ? EReadResult::Gone : EReadResult::Nothing;
        dwRead = dwGot;
        return dwGot > 0 ? EReadResult::Data : EReadResult::Nothing;
    }


private:
    enum class EWait { Bytes, Nothing, Gone };

    // Bytes waiting in the driver; false (with the error kept) when the port
    // no longer answers.
    bool QueuedBytes(DWORD& dwQueued)
    {
        DWORD dwErrors = 0;
        COMSTAT AStat{};
        if (!::ClearCommError(m_hPort, &dwErrors, &AStat))
            return false;
        dwQueued = AStat.cbInQue;
        return true;
    }

    // Waits up to dwWaitMs for received bytes. A wait for the next byte
    // that times out stays pending for the next call: cancelling it would
    // complete it later, with ERROR_OPERATION_ABORTED, in the middle of the
    // next wait.
    EWait WaitForBytes(DWORD dwWaitMs)
    {
        DWORD dwQueued = 0;
        if (!QueuedBytes(dwQueued))
            return Failed();
        if (dwQueued > 0)
            return EWait::Bytes;
        if (dwWaitMs == 0)
            return EWait::Nothing;
        if (!m_bWaitPending) {
            OVERLAPPED* pOv = m_Wait.Reset();
            if (!::WaitCommEvent(m_hPort, &m_dwEvents, pOv)) {
                if (::GetLastError() != ERROR_IO_PENDING)
                    return Failed();
                m_bWaitPending = true;
                // Bytes that came between the look and the wait would not wake it.
                if (!QueuedBytes(dwQueued))
                    return Failed();
                if (dwQueued > 0)
                    return EWait::Bytes;
            }
        }
        if (m_bWaitPending) {
            if (::WaitForSingleObject(m_Wait.Get()->hEvent, dwWaitMs) != WAIT_OBJECT_0)
                return EWait::Nothing;
            m_bWaitPending = false;
            DWORD dwDone = 0;
            // A wait the port's own set-up or purge ended is no loss: the
            // next look at the driver tells whether the device is there.
            if (!::GetOverlappedResult(m_hPort, m_Wait.Get(), &dwDone, FALSE) &&
                ::GetLastError() != ERROR_OPERATION_ABORTED)
                return Failed();
        }
        if (!QueuedBytes(dwQueued))
            return Failed();
        return dwQueued > 0 ? EWait::Bytes : EWait::Nothing;
    }

    // A failure that does not mean the device is gone is waited out, so that
    // a read loop asking again does not spin.
    EWait Failed()
    {
        const DWORD dwError = ::GetLastError();
        if (IsGoneError(dwError)) {
            DebugPrint(L"[Serial] %hs: error %lu, the device is gone\r\n", m_strPath.c_str(), dwError);
            return EWait::Gone;
        }
        if (dwError != m_dwLastError)
            DebugPrint(L"[Serial] %hs: error %lu\r\n", m_strPath.c_str(), dwError);
        m_dwLastError = dwError;
        ::Sleep(1);
        return EWait::Nothing;
    }

    // Takes what the driver holds, without waiting.
    bool ReadNow(std::span<std::uint8_t> Buffer, DWORD& dwRead)
    {
        dwRead = 0;
        OVERLAPPED* pOv = m_Read.Reset();
        if (::ReadFile(m_hPort, Buffer.data(), static_cast<DWORD>(Buffer.size()), &dwRead, pOv))
            return true;
        if (::GetLastError() != ERROR_IO_PENDING)
            return false;
        return ::GetOverlappedResult(m_hPort, pOv, &dwRead, TRUE) != 0;
    }

    HANDLE m_hPort = INVALID_HANDLE_VALUE;
    COverlapped m_Read;
    COverlapped m_Write;
    std::mutex m_WriteLock;
    COverlapped m_Wait;
    DWORD m_dwEvents = 0;        // what the pending wait reports, written when it completes
    bool m_bWaitPending = false; // a WaitCommEvent is in flight (read thread only)
    DWORD m_dwLastError = 0; // the last error that did not mean the device is gone (read thread)
};

} // namespace

std::unique_ptr<CSerialBackend> CSerialBackend::Create() { return std::make_unique<CSerial_Win32>(); }

// Win32 back end of the serial port: CreateFileW on "\\.\COMn", the line
// through GetCommState/SetCommState, and overlapped reads and writes whose
// every wait also waits for the port's interrupt, so that closing the port
// never depends on a driver honouring its time-outs. A read
// waits for received bytes with WaitCommEvent(EV_RXCHAR) and then takes what
// is there: an overlapped ReadFile with the MAXDWORD/MAXDWORD/10 time-outs
// never completes under Wine, which the tests run on, while this works on
// Windows and under Wine alike.
#include "SerialBackend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

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

// The longest a cancelled operation is waited for. A driver that does not
// complete it by then has it for good: its slot is abandoned (below).
constexpr DWORD kCancelWaitMs = 1000;
// A read of what the driver already holds completes at once; one that does
// not within this time is cancelled.
constexpr DWORD kReadNowMs = 200;

// One kind of overlapped operation: its OVERLAPPED, its event and the
// buffer the system reads from or writes into. Both stay the system's until
// the operation completes, so a slot whose operation could not be cancelled
// is abandoned (left allocated) rather than freed under the driver.
class CIoSlot {
public:
    CIoSlot() { m_Ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~CIoSlot() { ::CloseHandle(m_Ov.hEvent); }
    CIoSlot(const CIoSlot&) = delete;
    CIoSlot& operator=(const CIoSlot&) = delete;
    OVERLAPPED* Reset()
    {
        const HANDLE hEvent = m_Ov.hEvent;
        m_Ov = OVERLAPPED{};
        m_Ov.hEvent = hEvent;
        ::ResetEvent(hEvent);
        return &m_Ov;
    }
    OVERLAPPED* Get() { return &m_Ov; }
    HANDLE GetEvent() const { return m_Ov.hEvent; }

    std::vector<std::uint8_t> Buffer;
    DWORD dwEvents = 0; // what a WaitCommEvent reports
    bool bPending = false;

private:
    OVERLAPPED m_Ov{};
};

class CSerial_Win32 final : public CSerialBackend {
public:
    CSerial_Win32() : m_hInterrupt(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CSerial_Win32() override
    {
        ClosePort();
        ::CloseHandle(m_hInterrupt);
    }

    bool OpenPort(unsigned nPort) override
    {
        ClosePort();
        m_bInterrupted = false;
        ::ResetEvent(m_hInterrupt);
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
        if (m_hPort == INVALID_HANDLE_VALUE)
            return;
        // Every operation still pending is cancelled, and waited for once
        // the handle is gone (some drivers end a wait only then), so that
        // none completes into freed memory.
        ::CancelIoEx(m_hPort, nullptr);
        ::CloseHandle(m_hPort);
        m_hPort = INVALID_HANDLE_VALUE;
        for (std::unique_ptr<CIoSlot>* pSlot : {&m_pWait, &m_pRead, &m_pWrite})
            Settle(*pSlot);
    }

    void Interrupt() override
    {
        m_bInterrupted = true;
        ::SetEvent(m_hInterrupt);
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
        // share the write's slot.
        std::lock_guard<std::mutex> ALock(m_WriteLock);
        if (m_bInterrupted)
            return false;
        CIoSlot& ASlot = *m_pWrite;
        ASlot.Buffer.assign(Bytes.begin(), Bytes.end());
        OVERLAPPED* pOv = ASlot.Reset();
        DWORD dwWritten = 0;
        if (!::WriteFile(m_hPort, ASlot.Buffer.data(), static_cast<DWORD>(ASlot.Buffer.size()), &dwWritten, pOv)) {
            if (::GetLastError() != ERROR_IO_PENDING)
                return false;
            ASlot.bPending = true;
            // A line that takes no bytes must not hold the writer, nor the
            // port's closing.
            if (WaitFor(ASlot, dwTimeoutMs == 0 ? INFINITE : dwTimeoutMs) != EWait::Bytes) {
                ::CancelIoEx(m_hPort, pOv);
                Settle(m_pWrite);
                return false;
            }
            ASlot.bPending = false;
            if (!::GetOverlappedResult(m_hPort, pOv, &dwWritten, FALSE))
                return false;
        }
        return dwWritten == Bytes.size();
    }

    int ReadTimed(std::span<std::uint8_t> Buffer, std::uint32_t dwIntervalMs, std::uint32_t dwTotalMs) override
    {
        if (!IsOpen())
            return -1;
        const auto tEnd = ASteady::now() + std::chrono::milliseconds(dwTotalMs);
        auto tLastByte = tEnd;
        std::size_t nGot = 0;
        while (nGot < Buffer.size()) {
            const auto tUntil = nGot > 0 ? std::min(tEnd, tLastByte + std::chrono::milliseconds(dwIntervalMs)) : tEnd;
            const DWORD dwWait = RemainingMs(tUntil);
            const EWait eWait = WaitForBytes(dwWait);
            if (eWait == EWait::Bytes) {
                DWORD dwRead = 0;
                if (!ReadNow(Buffer.subspan(nGot), dwRead) || dwRead == 0)
                    break;
                nGot += dwRead;
                tLastByte = ASteady::now();
                continue;
            }
            // A wait may end with nothing received (Wine ends one every few
            // milliseconds): only the time, the port's loss or a close end
            // the read.
            if (eWait == EWait::Gone || m_bInterrupted || dwWait == 0)
                break;
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
            return m_bInterrupted || Failed() != EWait::Gone ? EReadResult::Nothing : EReadResult::Gone;
        dwRead = dwGot;
        return dwGot > 0 ? EReadResult::Data : EReadResult::Nothing;
    }


private:
    enum class EWait { Bytes, Nothing, Gone };

    // Waits up to dwWaitMs for the slot's operation; Nothing when the time
    // ran out or the port is being closed.
    EWait WaitFor(CIoSlot& ASlot, DWORD dwWaitMs)
    {
        const HANDLE hWait[2] = {ASlot.GetEvent(), m_hInterrupt};
        return ::WaitForMultipleObjects(2, hWait, FALSE, dwWaitMs) == WAIT_OBJECT_0 ? EWait::Bytes : EWait::Nothing;
    }

    // Waits a bounded time for a cancelled operation of the slot to
    // complete; one that does not is the driver's for good, and its slot is
    // left to it.
    void Settle(std::unique_ptr<CIoSlot>& pSlot)
    {
        if (!pSlot->bPending)
            return;
        if (::WaitForSingleObject(pSlot->GetEvent(), kCancelWaitMs) == WAIT_OBJECT_0) {
            pSlot->bPending = false;
            return;
        }
        DebugPrint(L"[Serial] %hs: the driver kept an operation %lu ms after its cancel; left to it\r\n",
                   m_strPath.c_str(), kCancelWaitMs);
        [[maybe_unused]] CIoSlot* pAbandoned = pSlot.release();
        pSlot = std::make_unique<CIoSlot>();
    }

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
    // next wait. Closing the port cancels it.
    EWait WaitForBytes(DWORD dwWaitMs)
    {
        DWORD dwQueued = 0;
        if (m_bInterrupted)
            return EWait::Nothing;
        if (!QueuedBytes(dwQueued))
            return Failed();
        if (dwQueued > 0)
            return EWait::Bytes;
        if (dwWaitMs == 0)
            return EWait::Nothing;
        CIoSlot& ASlot = *m_pWait;
        if (!ASlot.bPending) {
            OVERLAPPED* pOv = ASlot.Reset();
            if (!::WaitCommEvent(m_hPort, &ASlot.dwEvents, pOv)) {
                if (::GetLastError() != ERROR_IO_PENDING)
                    return Failed();
                ASlot.bPending = true;
                // Bytes that came between the look and the wait would not wake it.
                if (!QueuedBytes(dwQueued))
                    return Failed();
                if (dwQueued > 0)
                    return EWait::Bytes;
            }
        }
        if (ASlot.bPending) {
            if (WaitFor(ASlot, dwWaitMs) != EWait::Bytes)
                return EWait::Nothing;
            ASlot.bPending = false;
            DWORD dwDone = 0;
            // A wait the port's own set-up or purge ended is no loss: the
            // next look at the driver tells whether the device is there.
            if (!::GetOverlappedResult(m_hPort, ASlot.Get(), &dwDone, FALSE) &&
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
        ::WaitForSingleObject(m_hInterrupt, 1);
        return EWait::Nothing;
    }

    // Takes what the driver holds. It completes at once; a driver that
    // holds the read anyway has it cancelled, never waited on unbounded.
    bool ReadNow(std::span<std::uint8_t> Buffer, DWORD& dwRead)
    {
        dwRead = 0;
        CIoSlot& ASlot = *m_pRead;
        ASlot.Buffer.resize(Buffer.size());
        OVERLAPPED* pOv = ASlot.Reset();
        if (!::ReadFile(m_hPort, ASlot.Buffer.data(), static_cast<DWORD>(ASlot.Buffer.size()), &dwRead, pOv)) {
            if (::GetLastError() != ERROR_IO_PENDING)
                return false;
            ASlot.bPending = true;
            if (WaitFor(ASlot, kReadNowMs) != EWait::Bytes) {
                if (!m_bInterrupted)
                    DebugPrint(L"[Serial] %hs: the driver held a read of what it had queued; cancelled\r\n",
                               m_strPath.c_str());
                ::CancelIoEx(m_hPort, pOv);
                Settle(m_pRead);
                ::SetLastError(ERROR_OPERATION_ABORTED);
                return false;
            }
            ASlot.bPending = false;
            if (!::GetOverlappedResult(m_hPort, pOv, &dwRead, FALSE))
                return false;
        }
        std::copy_n(ASlot.Buffer.begin(), std::min<std::size_t>(dwRead, Buffer.size()), Buffer.begin());
        return true;
    }

    HANDLE m_hPort = INVALID_HANDLE_VALUE;
    // Set by Interrupt (any thread), cleared by OpenPort.
    HANDLE m_hInterrupt;
    std::atomic<bool> m_bInterrupted{false};
    std::unique_ptr<CIoSlot> m_pRead = std::make_unique<CIoSlot>();   // the reader's
    std::unique_ptr<CIoSlot> m_pWait = std::make_unique<CIoSlot>();   // the reader's: WaitCommEvent
    std::unique_ptr<CIoSlot> m_pWrite = std::make_unique<CIoSlot>();  // under m_WriteLock
    std::mutex m_WriteLock;
    DWORD m_dwLastError = 0; // the last error that did not mean the device is gone (read thread)
};

} // namespace

std::unique_ptr<CSerialBackend> CSerialBackend::Create() { return std::make_unique<CSerial_Win32>(); }

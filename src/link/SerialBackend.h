#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "PortTable.h"

// The operating system's side of a serial port. One back end per platform
// (Serial_Posix.cpp, Serial_Win32.cpp); CSerial holds the protocol rules.
//
// Every wait of a read or a write also waits for Interrupt, so that closing
// the port never waits on a driver: a read that ignores its time-outs, a
// line that takes no bytes. Threads: Interrupt from any thread, at any time
// while the object lives; the rest from one thread at a time per operation
// kind (the reader, a writer), and OpenPort/ClosePort only while no read or
// write runs.
class CSerialBackend {
public:
    struct CLine {
        std::uint32_t dwBaud = 256000;
        std::uint8_t btDataBits = 8;
        std::uint8_t btParity = 0;   // 0 none, 1 odd, 2 even
        std::uint8_t btStopBits = 0; // 0 one, 2 two
        bool bDtr = false;
        bool bRts = true;
    };
    enum class EReadResult { Data, Nothing, Gone };
    // Why the last OpenPort failed.
    enum class EOpenError { None, NoSuchPort, Denied, InUse, Other };

    virtual ~CSerialBackend() = default;

    // Opens COM<n> for exclusive use; a pending Interrupt is forgotten.
    virtual bool OpenPort(unsigned nPort) = 0;
    EOpenError GetOpenError() const { return m_eOpenError; }
    virtual bool IsOpen() const = 0;
    virtual void ClosePort() = 0;
    virtual bool SetLine(const CLine& Line) = 0;
    virtual bool Purge() = 0;
    // Writes every byte or answers false; dwTimeoutMs 0 means no limit.
    virtual bool WriteAll(std::span<const std::uint8_t> Bytes, std::uint32_t dwTimeoutMs) = 0;
    // One read that ends dwIntervalMs after the last byte received, or after
    // dwTotalMs when nothing arrives; answers the byte count, -1 on error.
    virtual int ReadTimed(std::span<std::uint8_t> Buffer, std::uint32_t dwIntervalMs,
                          std::uint32_t dwTotalMs) = 0;
    // Waits up to dwWaitMs for data and reads what is there.
    virtual EReadResult ReadAvailable(std::span<std::uint8_t> Buffer, std::uint32_t dwWaitMs,
                                      std::uint32_t& dwRead) = 0;
    // Ends every read and write wait now and makes later ones end at once
    // (reads answer Nothing, writes false) until the port is closed or
    // opened again.
    virtual void Interrupt() = 0;
    // A short, human-readable name of what is open (for the trace).
    std::string GetPath() const { return m_strPath; }

    static std::unique_ptr<CSerialBackend> Create();

protected:
    // The start of every OpenPort: the port's path (empty: no such port,
    // which is then the failure's reason until the open says otherwise).
    std::string BeginOpen(unsigned nPort)
    {
        m_eOpenError = EOpenError::NoSuchPort;
        std::string strPath = GetPortPath(nPort);
        if (!strPath.empty())
            m_strPath = strPath;
        return strPath;
    }

    EOpenError m_eOpenError = EOpenError::None;
    std::string m_strPath;
};

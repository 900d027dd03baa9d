#pragma once
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <span>

#include "AutoThread.h"
#include "SerialBackend.h"
#include "SerialObject.h"

// The one serial port to the device: opens COM<n>, sets the line up, proves
// with the probe that a device answers, then reads on its own thread and
// hands every chunk to its receiver; writes whole frames on request.
//
// Threads:
// - Open, Close, SetOwner and the probe's results: one thread at a time,
//   the owner's controlling thread (the worker's search thread); Close may
//   also come from the thread that shuts the worker down, never from the
//   read thread itself (it joins it).
// - Write, Purge, IsOpen: any thread, concurrently with reading; m_PortLock
//   keeps a write from using the port while Close closes it. Writes from
//   several threads are not interleaved byte by byte by this class: the
//   owner's queue keeps one command in flight.
// - Interrupt: any thread; ends the probe's wait and a write's at once
//   (a shutdown does not wait out a silent port).
// - The read thread (started by Open) calls the owner's OnReceive with each
//   chunk read, and OnPortLost once when the device is gone, then ends. It
//   holds no lock: the port is closed only after it has been joined, and
//   its waits end at once when Close asks, so Close is bounded whatever the
//   driver does.
// Locks: m_PortLock (shared for writes and the probe, alone for opening and
// closing), never held while calling the owner, and never across a wait
// that Close cannot end.
// Pointers: the owner (constructor, SetOwner) is not owned and must outlive
// the read thread, that is every Close; the worker owns its CSerial and is
// its owner.
class CSerial : public CAutoThread {
public:
    CSerial(CSerialObject* pOwner, std::uint32_t dwReadPause);
    ~CSerial() override;

    bool SetOwner(CSerialObject* pOwner);
    int Open(std::uint8_t btPort, std::uint32_t dwBaud, std::uint8_t btDataBits,
             std::uint8_t btParity, std::uint8_t btStopBits);
    int Reconfigure(std::uint32_t dwBaud, std::uint8_t btDataBits, std::uint8_t btParity,
                    std::uint8_t btStopBits);
    bool Write(const std::uint8_t* pBytes, std::uint32_t dwCount);
    bool Purge();
    bool IsOpen() const;
    void Close();
    // Ends every wait of the port now (the probe's, a write's); the port
    // stays unusable for reads and writes until it is closed or opened.
    void Interrupt();
    bool Probe(std::uint8_t btPort);

    // The read loop reads as soon as bytes arrive. With the polling pause it
    // reads without waiting and then sleeps the whole read pause, after
    // every read, as a plain polling reader does; only the benchmarks
    // compare the two.
    void SetPollingPause(bool bPolling) { m_bPollingPause = bPolling; }
    std::uint8_t GetPortNumber() const { return m_btPort; }
    // Why the last Open failed before the probe (NoSuchPort, Denied, InUse),
    // or None when the port opened.
    CSerialBackend::EOpenError GetOpenError() const { return m_pPort->GetOpenError(); }
    std::string GetPortPath() const { return m_pPort->GetPath(); }

    // What the last probe met, for telling the user why a port was not taken.
    enum class EProbe {
        NotSent,      // the port did not open, or the probe could not be written
        Device,       // the device's answer
        Silent,       // nothing came back
        TooShort,     // fewer bytes than a device information frame starts with
        OtherCommand, // a frame with another command byte (GetProbeCommand)
    };
    EProbe GetProbeResult() const { return m_eProbe; }
    std::uint8_t GetProbeCommand() const { return m_btProbeCommand; }

    static constexpr std::uint32_t kProbeReadSize = 1024;
    static constexpr std::uint32_t kProbeInterval = 1;
    static constexpr std::uint32_t kProbeTotal = kProbeReadSize + 1;

protected:
    int Run() override;

private:
    void ClosePort();

    CSerialObject* m_pOwner;
    std::uint32_t m_dwReadPause;
    std::unique_ptr<CSerialBackend> m_pPort;
    // Keeps a write from using the port while another thread closes it.
    mutable std::shared_mutex m_PortLock;
    bool m_bProbing = false;
    // Written by Open on the search thread, read there after it returns.
    EProbe m_eProbe = EProbe::NotSent;
    std::uint8_t m_btProbeCommand = 0;
    bool m_bPollingPause = false;
    std::uint8_t m_btPort = 0;
};

#pragma once
#include "Language.h"
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "UniqueFd.h"

// The device's end of the line: a pseudo-terminal whose slave side is
// registered as DIR/COM<n>. The host opens the slave; the device reads and
// writes the master.
class CSimPty {
public:
    CSimPty() = default;
    ~CSimPty() { Close(); }
    CSimPty(const CSimPty&) = delete;
    CSimPty& operator=(const CSimPty&) = delete;

    // strError says what failed, in eLanguage.
    bool Open(const std::string& strPortDir, unsigned nCom, ELanguage eLanguage, std::string& strError);
    bool IsOpen() const { return m_Master.IsValid(); }
    int GetMasterFd() const { return m_Master.Get(); }
    const std::string& GetSlavePath() const { return m_strSlave; }
    const std::string& GetLinkPath() const { return m_strLink; }

    // Reads what the host wrote: the byte count, 0 when nothing was there,
    // -1 when the line is gone.
    long Read(std::span<std::uint8_t> Buffer);
    // Writes every byte, waiting up to nTimeoutMs for room.
    bool WriteAll(std::span<const std::uint8_t> Bytes, int nTimeoutMs = 2000);
    // Bytes sent that the host has not read yet.
    std::size_t GetUnread() const;
    // Lets the host open the port again after it closed it.
    void AllowReopen() const;
    // Readable when a host has opened the port since the last TakeOpened.
    int GetOpenWatchFd() const { return m_OpenWatch.Get(); }
    // Whether a host opened the port since the last call; does not wait.
    bool TakeOpened();
    // Closes both sides and removes the link: the host sees the device go.
    void Close();

private:
    CUniqueFd m_Master;
    // Held so that the master keeps working while the host closes and
    // reopens the port (with no slave open, the master reads EIO).
    CUniqueFd m_Slave;
    // Tells when a host opens the slave: the device holds the slave itself,
    // so a host's close and reopen are not seen on the master.
    CUniqueFd m_OpenWatch;
    std::string m_strSlave;
    std::string m_strLink;
};

#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "RawString.h"
#include "Serial.h"
#include "SimDevice.h"
#include "TempPortDir.h"

using CHostBytes = std::vector<std::uint8_t>;

// "AC 07 00 0D 06 02 15" as bytes.
CHostBytes Hex(const std::string& strHex);
// One byte, then the others.
template <class TRange>
CHostBytes Prefixed(std::uint8_t btFirst, const TRange& Rest)
{
    CHostBytes Bytes(1 + Rest.size());
    Bytes[0] = btFirst;
    std::copy(Rest.begin(), Rest.end(), Bytes.begin() + 1);
    return Bytes;
}
// A frame built here by hand, not by the link: AC, length, command,
// payload, 8-bit sum of command and payload.
CHostBytes HandFrame(std::uint8_t btCommand, const CHostBytes& Payload = {});

// The host's side as the program has it: the link's port, cutting the
// device's answers with the host's frame rules.
class CSimHost final : public CSerialObject {
public:
    CSimHost();
    ~CSimHost() override;

    // Opens COM<n> at 256000 baud; the port probes the device first.
    bool Open(unsigned nCom);
    void Close();
    bool Send(const CHostBytes& Bytes);
    // Waits until nCount frames arrived in all.
    bool WaitFrames(std::size_t nCount, std::chrono::milliseconds tLimit = std::chrono::seconds(10)) const;
    bool WaitLost(std::chrono::milliseconds tLimit = std::chrono::seconds(10)) const;
    std::vector<CHostBytes> GetFrames() const;
    CHostBytes GetRawBytes() const;
    std::size_t GetChunkCount() const;

    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
    void OnPortLost() override;

private:
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Cond;
    CRawString m_strReceive;
    std::vector<CHostBytes> m_Frames;
    CHostBytes m_RawBytes;
    std::size_t m_nChunks = 0;
    bool m_bLost = false;
    CSerial m_Port;
};

// A temporary port folder with devices on it, stopped at the end.
class CSimBench {
public:
    // Starts a device on COM<nCom> with these options; the port folder and
    // number are filled in.
    CSimDevice& StartDevice(CSimOptions AOptions, unsigned nCom = 3);
    const std::string& GetPortDir() const { return m_Dir.GetPath(); }

private:
    CTempPortDir m_Dir;
    std::vector<std::unique_ptr<CSimDevice>> m_Devices;
};

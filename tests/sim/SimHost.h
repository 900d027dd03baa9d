#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "HostReceiver.h"
#include "Serial.h"
#include "TempPortDir.h"
#include "VirtualDevice.h"

using namespace std::chrono_literals;

// "AC 07 00 0D 06 02 15" as bytes.
CHostBytes Hex(const std::string& strHex);
// A frame built here by hand, not by the link's code.
CHostBytes HandFrame(std::uint8_t btCommand, const CHostBytes& Payload = {});
template <class TRange>
CHostBytes Prefixed(std::uint8_t btFirst, const TRange& Rest)
{
    CHostBytes Bytes(1 + Rest.size(), btFirst);
    std::copy(Rest.begin(), Rest.end(), Bytes.begin() + 1);
    return Bytes;
}

// The host as the program has it: the link's port at 256000 baud, cutting
// the device's answers by the host's frame rules.
class CSimHost final : public CHostReceiver {
public:
    CSimHost() { m_Port.SetOwner(this); }
    ~CSimHost() override { m_Port.Close(); }
    bool Open(unsigned nCom) { return m_Port.Open(static_cast<std::uint8_t>(nCom), 256000, 8, 0, 0) != 0; }
    void Close() { m_Port.Close(); }
    bool Send(const CHostBytes& Bytes) { return m_Port.Write(Bytes.data(), static_cast<std::uint32_t>(Bytes.size())); }

private:
    CSerial m_Port{nullptr, 10};
};

// A temporary port folder, devices on it and a host.
class CSimFixture {
protected:
    CSimDevice& StartDevice(CSimOptions AOptions = {}, unsigned nCom = 3);

    CTempPortDir m_Dir;
    std::vector<std::unique_ptr<CSimDevice>> m_Devices;
    CSimHost m_Host;
};

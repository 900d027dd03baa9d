#include "EngineTestKit.h"

#include <cstdlib>
#include <fstream>
#include <random>

#include "Frame.h"
#include "Packet_ISP.h"
#include "TextCodec.h"

using namespace std::chrono_literals;

CBytes MakeFrameBytes(std::uint8_t btCommand, const CBytes& Payload)
{
    CPacket_ISP APacket;
    APacket.SetCommand(btCommand, Payload.empty() ? nullptr : Payload.data(),
                       static_cast<std::uint16_t>(Payload.size()));
    return CBytes(APacket.GetData(), APacket.GetData() + APacket.GetSize());
}

std::string MakeHex(std::uint32_t dwBase, const CBytes& Data, const std::string& strTrailer, bool bCrLf)
{
    const std::string strEnd = bCrLf ? "\r\n" : "\n";
    std::string strHex;
    std::uint32_t dwSegment = 0xFFFFFFFF;
    for (std::size_t i = 0; i < Data.size(); i += 16) {
        const std::uint32_t dwAddress = dwBase + static_cast<std::uint32_t>(i);
        if (dwAddress >> 16 != dwSegment) {
            dwSegment = dwAddress >> 16;
            const Bytes Segment = {static_cast<std::uint8_t>(dwSegment >> 8), static_cast<std::uint8_t>(dwSegment)};
            strHex += RecordLine(4, 0, Segment) + strEnd;
        }
        const std::size_t n = std::min<std::size_t>(16, Data.size() - i);
        strHex += RecordLine(0, static_cast<std::uint16_t>(dwAddress & 0xFFFF), Data.data() + i, n) + strEnd;
    }
    strHex += RecordLine(5, 0, {static_cast<std::uint8_t>(dwBase >> 24), static_cast<std::uint8_t>(dwBase >> 16),
                                static_cast<std::uint8_t>(dwBase >> 8), static_cast<std::uint8_t>(dwBase)}) + strEnd;
    strHex += ":00000001FF" + strEnd;
    return strHex + strTrailer;
}

CEngine::CEngine(CWorkSettings ASettings) { AWork.SetWorkSettings(ASettings); }

CWorkSettings CEngine::Fast()
{
    CWorkSettings ASettings;
    ASettings.dwTaskWait = 300;
    ASettings.dwFirmwarePause = 50;
    ASettings.dwStallTimeout = 1500;
    ASettings.dwSearchRetry = 100;
    ASettings.dwInfoWait = 200;
    return ASettings;
}

void CEngine::Start(const CUpdateFolder& AFolder, std::uint32_t dwPortBound)
{
    AWork.SetNotifyWnd(&ANotes);
    AWork.StartWork(dwPortBound, kLineBaud, AFolder.GetFolderText());
}

bool CEngine::WaitConnected()
{
    return ANotes.WaitFor(WM_DEVICE_READY) && ANotes.WaitFor(WM_SETTINGS_READ, -1, 20s, 2);
}

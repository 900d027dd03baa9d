#include "SimHost.h"


CHostBytes Hex(const std::string& strHex)
{
    CHostBytes Bytes;
    for (std::size_t i = 0; i + 1 < strHex.size(); i += strHex[i] == ' ' ? 1 : 2)
        if (strHex[i] != ' ')
            Bytes.push_back(static_cast<std::uint8_t>(std::stoul(strHex.substr(i, 2), nullptr, 16)));
    return Bytes;
}

CHostBytes HandFrame(std::uint8_t btCommand, const CHostBytes& Payload)
{
    const std::size_t nLength = Payload.size() + 5;
    CHostBytes Frame(nLength, btCommand);
    Frame[0] = 0xAC;
    Frame[1] = static_cast<std::uint8_t>(nLength);
    Frame[2] = static_cast<std::uint8_t>(nLength >> 8);
    std::copy(Payload.begin(), Payload.end(), Frame.begin() + 4);
    for (const std::uint8_t bt : Payload)
        Frame.back() = static_cast<std::uint8_t>(Frame.back() + bt);
    return Frame;
}

CSimDevice& CSimFixture::StartDevice(CSimOptions AOptions, unsigned nCom)
{
    m_Devices.push_back(::StartDevice(m_Dir.GetPath(), nCom, std::move(AOptions)));
    return *m_Devices.back();
}

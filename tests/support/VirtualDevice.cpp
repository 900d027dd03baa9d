#include "VirtualDevice.h"

#include <stdexcept>

std::unique_ptr<CSimDevice> StartDevice(const std::string& strPortDir, unsigned nCom, CSimOptions AOptions)
{
    AOptions.strPortDir = strPortDir;
    AOptions.nCom = nCom;
    auto pDevice = std::make_unique<CSimDevice>(AOptions);
    std::string strError;
    if (!pDevice->Start(strError))
        throw std::runtime_error("virtual device: " + strError);
    return pDevice;
}

std::vector<std::uint8_t> CommandsReceived(const CSimDevice& ADevice)
{
    std::vector<std::uint8_t> Commands;
    for (const CSimBytes& Frame : ADevice.GetReceivedFrames())
        Commands.push_back(Frame[3]);
    return Commands;
}

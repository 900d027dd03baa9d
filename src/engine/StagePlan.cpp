#include "StagePlan.h"

#include "Packet_ISP.h"
#include "UpdateImages.h"

namespace {

// The device answers a data frame (and the firmware's end, and the menu)
// with two bytes: the command it answers and a status.
constexpr std::uint64_t kAnswerBytes = CPacket_ISP::kOverhead + 2;

} // namespace

double CStagePlan::GetWireSeconds(std::uint32_t dwBaud) const
{
    return dwBaud == 0 ? 0.0 : static_cast<double>(nBytesOut + nBytesIn) * 10.0 / dwBaud;
}

CStagePlan PlanStage(const CStage& AStage, const CUpdateImages& AImages)
{
    CStagePlan APlan;
    if (AStage.eImage == EImage::Menu) {
        APlan.nUnits = 1;
        APlan.nBytesOut = CPacket_ISP::kOverhead + kSettingsSize;
        APlan.nBytesIn = kAnswerBytes;
        return APlan;
    }
    const std::vector<std::uint32_t> Sizes = AImages.GetPayloadSizes(AStage.eImage);
    if (Sizes.empty())
        return APlan;
    APlan.nUnits = static_cast<std::uint32_t>(Sizes.size());
    APlan.nBytesOut = CPacket_ISP::kOverhead + AImages.GetStartPayload(AStage.eImage).size();
    for (const std::uint32_t nSize : Sizes)
        APlan.nBytesOut += CPacket_ISP::kOverhead + nSize;
    APlan.nBytesOut += CPacket_ISP::kOverhead;  // the end
    APlan.nBytesIn = (AStage.btGoAhead != 0 ? CPacket_ISP::kOverhead : 0) + APlan.nUnits * kAnswerBytes +
                     (AStage.bEndsWhenWritten ? 0 : kAnswerBytes);
    return APlan;
}

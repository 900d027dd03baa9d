#include "PortFinding.h"

#include <algorithm>

#include "DebugPrint.h"
#include "Serial.h"
#include "TextCodec.h"

const CPortFinding* GetMostUseful(const std::vector<CPortFinding>& Findings)
{
    using EKind = CPortFinding::EKind;
    for (const EKind eKind : {EKind::NoInfo, EKind::Denied, EKind::Busy, EKind::Foreign, EKind::TooShort}) {
        const auto It = std::find_if(Findings.begin(), Findings.end(),
                                     [eKind](const CPortFinding& A) { return A.eKind == eKind; });
        if (It != Findings.end())
            return &*It;
    }
    return nullptr;
}

std::optional<CPortFinding> FindOnPort(std::uint8_t btPort, const CSerial& ASerial)
{
    using EKind = CPortFinding::EKind;
    CPortFinding AFinding{EKind::Silent, btPort, ASerial.GetPortPath()};
    switch (ASerial.GetOpenError()) {
    case CSerialBackend::EOpenError::Denied: AFinding.eKind = EKind::Denied; break;
    case CSerialBackend::EOpenError::InUse: AFinding.eKind = EKind::Busy; break;
    case CSerialBackend::EOpenError::None:
        // It opened: the probe tells what is behind it.
        switch (ASerial.GetProbeResult()) {
        case CSerial::EProbe::TooShort: AFinding.eKind = EKind::TooShort; break;
        case CSerial::EProbe::OtherCommand:
            AFinding.eKind = EKind::Foreign;
            AFinding.btCommand = ASerial.GetProbeCommand();
            break;
        default: break;
        }
        break;
    default: return std::nullopt;
    }
    if (AFinding.eKind == EKind::Denied) {
        std::wstring wstrPath;
        Utf8ToWide(AFinding.strPath, wstrPath);
        DebugPrint(L"COM%u (%ls) may not be opened: permission denied\r\n", static_cast<unsigned>(btPort),
                   wstrPath.c_str());
    }
    return AFinding;
}

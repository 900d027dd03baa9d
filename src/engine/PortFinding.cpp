#include "PortFinding.h"

#include <algorithm>

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

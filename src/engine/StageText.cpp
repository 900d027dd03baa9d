#include "StageText.h"

#include <cwchar>

#include "Stages.h"

const wchar_t* GetStageText(std::int32_t nStage, EStageText eText)
{
    if (nStage == kWholeUpdate) {
        static const wchar_t* const kWhole[3] = {L"", L"Успешно обновлено!", L"Ошибка обновления!"};
        return kWhole[static_cast<int>(eText)];
    }
    const CStage* pStage = FindStage(nStage);
    if (pStage == nullptr)
        return L"";
    switch (eText) {
    case EStageText::Running: return pStage->wzRunning;
    case EStageText::Succeeded: return pStage->wzSucceeded;
    case EStageText::Failed: return pStage->wzFailed;
    }
    return L"";
}

std::wstring FormatElapsed(std::uint64_t nMilliseconds)
{
    const std::uint64_t nSeconds = nMilliseconds / 1000;
    wchar_t wzBuf[64];
    std::swprintf(wzBuf, 64, L"Время обновления: %02llu:%02llu:%02llu",
                  static_cast<unsigned long long>(nSeconds / 3600),
                  static_cast<unsigned long long>(nSeconds / 60 % 60), static_cast<unsigned long long>(nSeconds % 60));
    return wzBuf;
}

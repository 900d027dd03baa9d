#include "StageText.h"

#include <cstdio>
#include <utility>

#include "Stages.h"
#include "TextCatalog.h"

namespace {

// Each stage's three texts as rows of the catalogue, found when this file
// is compiled: a stage text the catalogue lacks does not build.
using AStageKeys = std::array<CTextKey, 3>;

consteval AStageKeys GetKeysOf(const CStage& AStage)
{
    return {CTextKey(AStage.szRunning), CTextKey(AStage.szSucceeded), CTextKey(AStage.szFailed)};
}

template <std::size_t... n>
consteval std::array<AStageKeys, sizeof...(n)> GetStageKeys(std::index_sequence<n...>)
{
    return {GetKeysOf(kStages[n])...};
}

constexpr auto kStageKeys = GetStageKeys(std::make_index_sequence<kStages.size()>());

} // namespace

std::wstring GetStageText(std::int32_t nStage, EStageText eText, ELanguage eLanguage)
{
    if (nStage == kWholeUpdate) {
        if (eText == EStageText::Running)
            return {};
        return FormatWideText(eLanguage, eText == EStageText::Succeeded ? CTextKey("Успешно обновлено!")
                                                                        : CTextKey("Ошибка обновления!"));
    }
    if (FindStage(nStage) == nullptr)
        return {};
    return FormatWideText(eLanguage, kStageKeys[static_cast<std::size_t>(nStage - 1)][static_cast<std::size_t>(eText)]);
}

std::wstring FormatElapsed(std::uint64_t nMilliseconds, ELanguage eLanguage)
{
    const std::uint64_t nSeconds = nMilliseconds / 1000;
    char szTime[64];
    std::snprintf(szTime, sizeof szTime, "%02llu:%02llu:%02llu", static_cast<unsigned long long>(nSeconds / 3600),
                  static_cast<unsigned long long>(nSeconds / 60 % 60), static_cast<unsigned long long>(nSeconds % 60));
    return FormatWideText(eLanguage, "Время обновления: {1}", {szTime});
}

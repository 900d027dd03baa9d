#pragma once
#include <cstdint>
#include <string>

#include "Language.h"

// The texts a user sees for each stage of an update (the stage table's, and
// stage 6, the whole update): while it runs, when it succeeded, when it
// failed, in one language. Empty for any other stage number.
enum class EStageText { Running, Succeeded, Failed };
std::wstring GetStageText(std::int32_t nStage, EStageText eText, ELanguage eLanguage);

// "Время обновления: hh:mm:ss" for an update that has run this long; the
// hours grow past 99 as needed.
std::wstring FormatElapsed(std::uint64_t nMilliseconds, ELanguage eLanguage);

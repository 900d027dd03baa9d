#pragma once
#include <cstdint>

// The texts a user sees for each stage of an update (1 firmware, 2 camera
// database, 3 sound files, 4 radar firmware, 5 device menu, 6 the whole
// update): while it runs, when it succeeded, when it failed.
enum class EStageText { Running, Succeeded, Failed };
const wchar_t* GetStageText(std::int32_t nStage, EStageText eText);

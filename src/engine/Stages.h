#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The stages of an update, in the order an update runs them: the update
// file each takes its data from, the commands it sends and the answers it
// waits for, and what the user is told about it. This table is the one
// place where a stage is spelled out; the update sequence, the reply
// dispatcher, the image loading, the damaged-file check, the virtual device,
// the benchmarks and the fault matrix all read it. Header only, with no
// dependencies, so that the virtual device can read it too.

// Where a stage's data comes from.
enum class EImage { Project, EDog, Music, Radar, Menu };

// Which status of a block answer counts the block as written.
enum class EBlockOk {
    Status2,        // the firmware's records: status 2
    Status1,        // camera database and sound: status 1
    NotFlashFailure // the radar part: any status but a flash failure (3 to 9)
};

struct CStage {
    std::int32_t nStage;       // 1 firmware, 2 camera database, 3 sound, 4 radar, 5 device menu
    const char* szFile;        // the update file in the program's folder; nullptr for the menu
    EImage eImage;
    std::uint8_t btStart;      // host: starts the stage (the menu stage: carries the menu)
    std::uint8_t btGoAhead;    // device: lets the stage's data come; 0 when the stage has none
    std::uint8_t btBlock;      // host: one frame of the stage's data; 0 when none
    std::uint8_t btBlockAnswer; // device: answers a block (the firmware's: the status answer 0x0D)
    EBlockOk eBlockOk;
    std::uint8_t btEnd;        // host: ends the stage's data; 0 when none
    // The stage ends when its end command is written; otherwise when the
    // device answers it (the firmware's end, the menu's write).
    bool bEndsWhenWritten;
    std::uint8_t btEndAnswer;  // device: answers the end (or the menu); 0 when the stage ends on writing
    // What the driver reads while it runs, after it succeeded, after it
    // failed: the Russian texts, which are the keys of the text catalogue.
    const char* szRunning;
    const char* szSucceeded;
    const char* szFailed;
    const wchar_t* wzTraceName; // the image in the trace ("EDog PacketNum is:3"), as the field reads it
};

inline constexpr std::array<CStage, 5> kStages = {{
    {1, "AC7811_project.hex", EImage::Project, 0x1C, 0x19, 0x06, 0x0D, EBlockOk::Status2, 0x1A, false, 0x0D,
     "Обновление ПО...", "Обновление ПО прошло успешно!", "Не удалось обновить ПО!",
     L"Project"},
    {2, "flagdata.bin", EImage::EDog, 0x21, 0x22, 0x23, 0x24, EBlockOk::Status1, 0x20, true, 0x00,
     "Обновление базы камер...", "Обновление базы камер прошло успешно!", "Не удалось обновить базу камер!",
     L"EDog"},
    {3, "audioHead.bin", EImage::Music, 0x31, 0x32, 0x33, 0x34, EBlockOk::Status1, 0x30, true, 0x00,
     "Обновление звуковых файлов...", "Обновление звуковых файлов прошло успешно!",
     "Не удалось обновить звуковые файлы!", L"Music"},
    {4, "rdfw.bin", EImage::Radar, 0x41, 0x42, 0x43, 0x44, EBlockOk::NotFlashFailure, 0x40, true, 0x00,
     "Обновление ПО радарной части...", "Обновление ПО радарной части прошло успешно!",
     "Не удалось обновить ПО радарной части!", L"Radar"},
    {5, nullptr, EImage::Menu, 0x4A, 0x00, 0x00, 0x00, EBlockOk::Status1, 0x00, false, 0x4B,
     "Обновление меню устройства...", "Меню устройства обновлено успешно!", "Не удалось обновить меню устройства!",
     L"Menu"},
}};

// The files an update folder holds: each stage's, then "ver.txt" with the
// versions shown beside the device's. What is taken out of an update archive.
inline constexpr std::array<std::string_view, 5> kUpdateFiles = [] {
    std::array<std::string_view, 5> aNames{};
    std::size_t nName = 0;
    for (const CStage& AStage : kStages)
        if (AStage.szFile != nullptr)
            aNames.at(nName++) = AStage.szFile;
    aNames.at(nName++) = "ver.txt";
    return nName == aNames.size() ? aNames : throw "every name of kUpdateFiles is filled";
}();

// The device menu the menu stage carries, as the device reports it in each
// of its two settings blocks.
inline constexpr std::size_t kSettingsSize = 73;
using CSettingsBlock = std::array<std::uint8_t, kSettingsSize>;

// Stage 6 is the update as a whole: it has no commands, only its result.
inline constexpr std::int32_t kWholeUpdate = 6;

// The row of stage nStage (1 to 5); nullptr for any other number.
constexpr const CStage* FindStage(std::int32_t nStage)
{
    return nStage >= 1 && nStage <= static_cast<std::int32_t>(kStages.size()) ? &kStages[nStage - 1] : nullptr;
}

// The row whose member (a command byte) is btCommand; nullptr when none is.
// A 0 member is no command and never matches.
constexpr const CStage* FindStageBy(std::uint8_t CStage::*pMember, std::uint8_t btCommand)
{
    if (btCommand == 0)
        return nullptr;
    for (const CStage& AStage : kStages)
        if (AStage.*pMember == btCommand)
            return &AStage;
    return nullptr;
}

// The stage a frame from the host belongs to by its command (start, block
// or end); 0 for the frames outside an update.
constexpr std::int32_t GetStageOfHostCommand(std::uint8_t btCommand)
{
    for (const CStage& AStage : kStages)
        if (btCommand != 0 && (AStage.btStart == btCommand || AStage.btBlock == btCommand || AStage.btEnd == btCommand))
            return AStage.nStage;
    return 0;
}

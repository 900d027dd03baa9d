#include "FaultRows.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "StageText.h"
#include "TextCodec.h"

namespace {

const char* FileOf(int nStage) { return FindStage(nStage)->szFile; }

// The stages before nStage succeed; nStage fails, and with it the update.
CResults FailsAt(int nStage)
{
    CResults Results = Succeeds((1u << (nStage - 1)) - 1);
    Results.back() = {nStage, 1};
    Results.emplace_back(6, 1);
    return Results;
}

AFaultSetter StopAfter(long nCount, int nCommand)
{
    return [=](CSimOptions& A) { A.nStopAfter = nCount, A.nStopCommand = nCommand; };
}

AFaultSetter Unplug(long nCount, int nCommand)
{
    return [=](CSimOptions& A) { A.nHangupAfter = nCount, A.nHangupCommand = nCommand; };
}

} // namespace

void PrintTo(const CFaultRow& ARow, std::ostream* pStream) { *pStream << ARow.szName; }

bool HasFile(unsigned uFiles, int nStage) { return (uFiles & (1u << (nStage - 1))) != 0; }

CResults Succeeds(unsigned uFiles)
{
    CResults Results;
    for (int nStage = 1; nStage <= 5; ++nStage)
        if (HasFile(uFiles, nStage))
            Results.emplace_back(nStage, 0);
    Results.emplace_back(6, 0);
    return Results;
}

const std::vector<CFaultRow>& GetFaultRows()
{
    const char* const kSilent = "Устройство перестало отвечать.";
    const char* const kStatus = "Последний ответ устройства: «";
    const char* const kLost = "Устройство отключено.";
    static const std::vector<CFaultRow> Rows = {
        CFaultRow{.szName = "silent_in_firmware", .Fault = StopAfter(10, 0x06), .Expected = FailsAt(1), .szWhy = kSilent},
        CFaultRow{.szName = "silent_in_camera_database", .Fault = StopAfter(1, 0x23), .Expected = FailsAt(2),
                  .szWhy = kSilent},
        CFaultRow{.szName = "silent_in_sound", .Fault = StopAfter(1, 0x33), .Expected = FailsAt(3), .szWhy = kSilent},
        CFaultRow{.szName = "silent_in_radar", .Fault = StopAfter(1, 0x43), .Expected = FailsAt(4), .szWhy = kSilent},
        CFaultRow{.szName = "silent_in_menu", .Fault = StopAfter(0, 0x4A), .Expected = FailsAt(5), .szWhy = kSilent},
        CFaultRow{.szName = "failing_status_in_firmware",
                  .Fault = [](CSimOptions& A) { A.FailBlocks = {{0x06, 5, 4}}; },
                  .Expected = FailsAt(1), .szWhy = kStatus},
        CFaultRow{.szName = "failing_status_in_camera_database",
                  .Fault = [](CSimOptions& A) { A.FailBlocks = {{0x23, 2, 6}}; },
                  .Expected = FailsAt(2), .szWhy = kStatus},
        CFaultRow{.szName = "failing_status_in_radar",
                  .Fault = [](CSimOptions& A) { A.FailBlocks = {{0x43, 1, 3}}; },
                  .Expected = FailsAt(4), .szWhy = kStatus},
        CFaultRow{"noise_between_frames", [](CSimOptions& A) { A.nNoiseMax = 32; }, Succeeds()},
        CFaultRow{"answers_torn_into_bytes", [](CSimOptions& A) { A.eTear = ETear::Bytes; }, Succeeds()},
        CFaultRow{"answers_torn_at_random", [](CSimOptions& A) { A.eTear = ETear::Random; }, Succeeds()},
        CFaultRow{"firmware_start_answered_twice", [](CSimOptions& A) { A.bAcceptProjectStart = true; }, Succeeds()},
        // A device still starting up: its first two probe answers are cut short.
        CFaultRow{"probe_answers_short_at_first",
                  [](CSimOptions& A) { A.eProbeFault = EProbeFault::Short, A.nProbeFaultTimes = 2; }, Succeeds()},
        CFaultRow{.szName = "unplugged_in_firmware", .Fault = Unplug(10, 0x06), .Expected = FailsAt(1),
                  .bReplug = true, .szWhy = kLost},
        CFaultRow{.szName = "unplugged_in_camera_database", .Fault = Unplug(1, 0x23), .Expected = FailsAt(2),
                  .bReplug = true, .szWhy = kLost},
        CFaultRow{.szName = "unplugged_in_sound", .Fault = Unplug(1, 0x33), .Expected = FailsAt(3),
                  .bReplug = true, .szWhy = kLost},
        CFaultRow{.szName = "unplugged_in_radar", .Fault = Unplug(1, 0x43), .Expected = FailsAt(4),
                  .bReplug = true, .szWhy = kLost},
        CFaultRow{.szName = "unplugged_in_menu", // the menu is sent, never answered, then the device goes
                  .Fault = [](CSimOptions& A) { StopAfter(0, 0x4A)(A), Unplug(1, 0x4A)(A); },
                  .Expected = FailsAt(5), .bReplug = true, .szWhy = kLost},
        CFaultRow{"device_without_menu", [](CSimOptions& A) { A.bNoMenu = true; }, Succeeds(kAll & ~kMenu),
                  kAll & ~kMenu},
        CFaultRow{"unsolicited_0x13_in_firmware", [](CSimOptions& A) { A.Unsolicited = {{0x13, {10, 0x06}}}; },
                  Succeeds()},
        CFaultRow{"unsolicited_0x50_in_sound", [](CSimOptions& A) { A.Unsolicited = {{0x50, {1, 0x33}}}; },
                  Succeeds()},
        // The request clears the send queue: the block in flight is lost,
        // so the stage cannot be whole, which is said at once.
        CFaultRow{.szName = "device_request_in_camera_database",
                  .Fault = [](CSimOptions& A) { A.DeviceRequests = {{1, 0x23}}; },
                  .Expected = FailsAt(2), .szWhy = "Не все блоки дошли до устройства"},
        CFaultRow{"device_request_before_the_update", [](CSimOptions& A) { A.DeviceRequests = {{1, 0x49}}; },
                  Succeeds()},
        CFaultRow{.szName = "damaged_firmware", .Expected = {{1, 1}, {6, 1}}, .nDamaged = 1, .bCli = true,
                  .szWhy = "Файл AC7811_project.hex повреждён в строке"},
        CFaultRow{.szName = "damaged_camera_database", .Expected = {{2, 1}, {6, 1}}, .nDamaged = 2, .bCli = true,
                  .szWhy = "Файл flagdata.bin повреждён по смещению 0."},
        CFaultRow{.szName = "damaged_sound", .Expected = {{3, 1}, {6, 1}}, .nDamaged = 3, .bCli = true,
                  .szWhy = "Файл audioHead.bin повреждён по смещению 0."},
        CFaultRow{.szName = "damaged_radar", .Expected = {{4, 1}, {6, 1}}, .nDamaged = 4, .bCli = true,
                  .szWhy = "Файл rdfw.bin повреждён: его размер 3221225472 байт, больше 256 МиБ."},
        CFaultRow{.szName = "second_device_on_com7", .Expected = Succeeds(kAll & ~kFirmware),
                  .uFiles = kAll & ~kFirmware, .bCli = true, .bSecondDevice = true},
        // Windows numbers adapters in the order it first meets them: one
        // past COM49 is found after COM1 to COM49.
        CFaultRow{.szName = "device_on_com57", .Expected = Succeeds(kAll & ~kFirmware), .uFiles = kAll & ~kFirmware,
                  .bCli = true, .nCom = 57},
        // The search: a lost information answer is asked for again; a port
        // that yields no device says why.
        CFaultRow{"information_answer_lost_once", [](CSimOptions& A) { A.nLoseInfo = 1; }, Succeeds()},
        CFaultRow{.szName = "information_answers_all_lost", .Fault = [](CSimOptions& A) { A.nLoseInfo = -1; },
                  .bCli = true, .szWhy = "Устройство на COM3 ответило, но не прислало сведений о себе.",
                  .nExit = 2, .szCliSays = "Устройство на COM3 ответило, но не прислало сведений о себе.", .nWait = 8},
        CFaultRow{.szName = "port_held_by_another_program", .bCli = true, .szWhy = "занят другой программой",
                  .ePort = EPort::HeldDevice, .nExit = 2,
                  .szCliSays = "держит открытым другая программа (занят). Закройте её и попробуйте снова", .nWait = 3},
        CFaultRow{.szName = "port_the_user_may_not_open", .bCli = true,
                  .szWhy = "закрыт для этого пользователя: нет прав доступа. Если программа установлена из "
                           "пакета, отключите адаптер и подключите его снова. Иначе добавьте пользователя в "
                           "группу dialout и войдите в систему заново.",
                  .ePort = EPort::Forbidden, .nExit = 2,
                  .szCliSays = "не открыть: нет прав доступа. Если IAP Tool установлен из пакета, отключите адаптер и "
                               "подключите его снова; иначе (или при работе через ssh) добавьте пользователя",
                  .nWait = 3},
        CFaultRow{.szName = "another_device_answers", .Fault = [](CSimOptions& A) {
                      A.eProbeFault = EProbeFault::OtherCommand, A.btProbeCommand = 0x13;
                  },
                  .bCli = true, .szWhy = "отвечает не это устройство", .nExit = 2,
                  .szCliSays = "ответили, но не так, как отвечает устройство: команда 0x13 вместо 0x46.", .nWait = 3},
        CFaultRow{.szName = "an_answer_too_short", .Fault = [](CSimOptions& A) { A.eProbeFault = EProbeFault::Short; },
                  .bCli = true, .szWhy = "отвечает не это устройство", .nExit = 2,
                  .szCliSays = "ответили, но не так, как отвечает устройство: ответ слишком короткий.", .nWait = 3},
        // What iap-cli is given: checked before any port is opened.
        CFaultRow{.szName = "folder_that_does_not_exist", .bCli = true, .eInput = EInput::MissingFolder, .nExit = 64,
                  .szCliSays = "iap-cli: папки обновления "},
        CFaultRow{.szName = "folder_that_is_a_file", .bCli = true, .eInput = EInput::FileAsFolder, .nExit = 64,
                  .szCliSays = " — не папка и не архив .zip, .7z или .rar, а нужна папка обновления"},
        CFaultRow{.szName = "menu_file_missing", .bCli = true, .eInput = EInput::MissingMenu, .nExit = 64,
                  .szCliSays = "не читается: No such file or directory"},
        CFaultRow{.szName = "menu_file_of_72_bytes", .bCli = true, .eInput = EInput::ShortMenu, .nExit = 64,
                  .szCliSays = "байт: 72, а в меню устройства их 73"},
        // Folders as these users name them.
        CFaultRow{.szName = "folder_with_spaces_and_cyrillic", .Expected = Succeeds(), .bCli = true,
                  .szFolder = "Обновление радара 2026 (копия)"},
    };
    return Rows;
}

bool EarlyRequestsAnswered(const CSimDevice& ADevice)
{
    const auto& Requests = ADevice.GetOptions().DeviceRequests;
    const auto nEarly = std::count_if(Requests.begin(), Requests.end(), [](const CFramePoint& A) {
        return A.Command == 0x45 || A.Command == 0x47 || A.Command == 0x49;
    });
    const std::vector<std::uint8_t> Commands = CommandsReceived(ADevice);
    return std::count(Commands.begin(), Commands.end(), 0x0D) >= nEarly;
}

bool SaysWhy(const CFaultRow& ARow, const std::string& strText)
{
    return strText.find(ARow.szWhy) != std::string::npos;
}

bool IsShipped()
{
    const char* sz = std::getenv("IAP_FAULTS_SHIPPED");
    return sz != nullptr && std::string(sz) == "1";
}

CWorkSettings RowSettings() { return IsShipped() ? CWorkSettings{} : CEngine::Fast(); }

std::string ShownText(const std::pair<int, int>& AResult)
{
    return WideToUtf8(GetStageText(AResult.first, AResult.second == 0 ? EStageText::Succeeded : EStageText::Failed, ELanguage::Russian));
}

long MsSince(std::chrono::steady_clock::time_point tStart)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tStart).count());
}

CFaultBench::CFaultBench(const CFaultRow& ARow) : m_Folder(m_Files.GetPath())
{
    if (ARow.szFolder != nullptr) {
        const std::string strName = ARow.szFolder;
        m_Folder /= std::filesystem::path(std::u8string(strName.begin(), strName.end()));
        std::filesystem::create_directory(m_Folder);
    }
}

CFaultBench::~CFaultBench()
{
    if (m_fdHeld >= 0)
        ::close(m_fdHeld);
}

void CFaultBench::WriteFile(const char* szName, const CBytes& Bytes) const
{
    std::ofstream AFile(m_Folder / szName, std::ios::binary);
    AFile.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

void CFaultBench::WriteFiles(const CFaultRow& ARow) const
{
    const CBytes Hex(m_strHex.begin(), m_strHex.end());
    const std::string strVersions = "RD-1\n0102\n0003\n1a2b\n";
    WriteFile("ver.txt", CBytes(strVersions.begin(), strVersions.end()));
    for (int nStage = 1; nStage <= 4; ++nStage)
        if (HasFile(ARow.uFiles, nStage) && nStage != ARow.nDamaged)
            WriteFile(FileOf(nStage), nStage == 1 ? Hex : m_Images[nStage]);
    if (ARow.nDamaged == 0)
        return;
    const std::filesystem::path Damaged = m_Folder / FileOf(ARow.nDamaged);
    if (ARow.nDamaged == 1) {
        WriteFile(FileOf(1), CBytes(Hex.begin(), Hex.begin() + static_cast<long>(Hex.size() / 2))); // cut short
    } else if (ARow.nDamaged == 4) {
        WriteFile(FileOf(4), CBytes{}); // far larger than a radar part holds; sparse
        std::filesystem::resize_file(Damaged, 3ull << 30);
    } else {
        std::filesystem::create_symlink("/proc/self/mem", Damaged); // every read fails with EIO
    }
}

std::unique_ptr<CSimDevice> CFaultBench::StartRowDevice(const CFaultRow& ARow)
{
    if (ARow.ePort == EPort::Forbidden) {
        // A read-only sysctl file refuses to open for writing, even for
        // root, as a serial device of another group does for a user.
        std::filesystem::create_symlink("/proc/sys/kernel/ostype", m_Ports.PortPath(3));
        return nullptr;
    }
    CSimOptions AOptions;
    if (ARow.Fault)
        ARow.Fault(AOptions);
    AOptions.dwBaud = IsShipped() ? 256000 : 0;
    if (ARow.bSecondDevice)
        m_pOther = StartDevice(m_Ports.GetPath(), 7);
    auto pDevice = StartDevice(m_Ports.GetPath(), ARow.nCom, AOptions);
    if (ARow.ePort == EPort::HeldDevice) {
        // Another program has the port, and locks it as this one does.
        m_fdHeld = ::open(m_Ports.PortPath(3).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_TRUE(m_fdHeld >= 0 && ::flock(m_fdHeld, LOCK_EX | LOCK_NB) == 0) << "COM3 could not be held";
    }
    return pDevice;
}

CSettingsBlock CFaultBench::EditedMenu(const CSettingsBlock& ADevice)
{
    m_Menu = ADevice;
    m_Menu[0] ^= 0x01;
    return m_Menu;
}

CBytes CFaultBench::Sent(int nStage) const
{
    return nStage == 5 ? CBytes(m_Menu.begin(), m_Menu.end()) : m_Images[nStage];
}

std::string CFaultBench::ExpectRecorded(const CSimDevice& ADevice, const CResults& Results, unsigned uFiles) const
{
    // The firmware from its lowest address, which must be the file's, gaps as 0xFF.
    const auto Recorded = [&ADevice](int nStage) {
        if (nStage == 5)
            return ADevice.GetSettings();
        if (nStage != 1)
            return ADevice.GetImage(FindStage(nStage)->btStart);
        std::uint32_t dwBase = 0;
        const CBytes Firmware = ADevice.GetRecorder().GetFirmware(dwBase);
        return Firmware.empty() || dwBase == kFirmwareBase ? Firmware : CBytes{0};
    };
    std::string strKept;
    for (int nStage = 1; nStage <= 5; ++nStage) {
        if (!HasFile(uFiles, nStage))
            continue;
        const auto It = std::find_if(Results.begin(), Results.end(), [&](const auto& A) { return A.first == nStage; });
        const CBytes Kept = Recorded(nStage);
        strKept += (strKept.empty() ? "" : " ") + std::to_string(nStage) +
                   (Kept == Sent(nStage) ? "=" : Kept.empty() ? ":none" : ":partial");
        if (It == Results.end())
            EXPECT_TRUE(Kept.empty()) << "stage " << nStage << " never began";
        else if (It->second == 0)
            EXPECT_TRUE(Kept == Sent(nStage) && (nStage != 4 || ADevice.GetRecorder().RadarSizeMatched()))
                << "stage " << nStage << " reported a success";
        else
            EXPECT_NE(Kept, Sent(nStage)) << "stage " << nStage << " reported a failure";
    }
    return strKept;
}

std::string CFaultBench::ExpectNothingSent(const CSimDevice& ADevice, std::size_t nConnection) const
{
    // Whatever would follow the refusal comes within this bound.
    ADevice.WaitForFrames(nConnection + 1, std::chrono::milliseconds(100));
    const std::size_t nFrames = ADevice.GetReceivedFrames().size();
    EXPECT_EQ(nFrames, nConnection) << (nConnection == 0 ? "the port was opened"
                                                         : "something beyond the probe, 0x45, 0x47 and 0x49");
    return std::to_string(nFrames) + " frames received";
}

void CFaultBench::ExpectSecondDeviceUntouched() const
{
    if (m_pOther) {
        EXPECT_EQ(m_pOther->GetCounters().nFramesReceived, 0u) << "COM7 was opened";
    }
}


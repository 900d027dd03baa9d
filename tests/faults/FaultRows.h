#pragma once
// The rows of the fault matrix: one for each fault a user can meet, with the
// stage results it must end in. The engine's and the window's matrices run
// the same rows; this holds the rows, the update files they use and the
// check of what the device kept.
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "DeviceTestKit.h"

using CResults = std::vector<std::pair<int, int>>;
using AFaultSetter = std::function<void(CSimOptions&)>;

// The update files of a row: one bit per stage, the menu as stage 5.
enum : unsigned { kFirmware = 1, kMenu = 16, kAll = 31 };

// What stands on COM3.
enum class EPort {
    Device,     // the virtual device
    HeldDevice, // the virtual device, held open by another program
    Forbidden,  // a port the user may not open, and no device anywhere
};

// A mistake in what iap-cli is given.
enum class EInput { None, MissingFolder, FileAsFolder, MissingMenu, ShortMenu };

struct CFaultRow {
    const char* szName;
    AFaultSetter Fault = {};
    CResults Expected = {};     // the stage-result notifications, in order; none: no update ran
    unsigned uFiles = kAll;
    int nDamaged = 0;           // the stage whose file is damaged
    bool bCli = false;          // the engine matrix runs it through iap-cli
    bool bReplug = false;       // unplugged: plugged back in, a second update must succeed
    bool bSecondDevice = false; // another device on COM7, which must never be opened
    const char* szWhy = nullptr; // the window's (and a failure description's) words for it
    EPort ePort = EPort::Device;
    EInput eInput = EInput::None;
    const char* szFolder = nullptr;  // the update files in a folder of this name
    int nExit = -1;                  // iap-cli's exit when no update ran
    const char* szCliSays = nullptr; // what iap-cli must print, when no update ran
    unsigned nWait = 0;              // iap-cli's --wait with short times (0: its default)
    unsigned nCom = 3;  // the device's port
};
// Whether every request the device makes as its menu is read has been
// acknowledged: a click in the very instant of one would have its start
// command cleared with the rest of the queue, as a request in a stage
// clears a block; a user, and the tests, start the update after it.
bool EarlyRequestsAnswered(const CSimDevice& ADevice);
// Whether a failure's description gives the row's reason.
bool SaysWhy(const CFaultRow& ARow, const std::string& strText);
// Test names and failure messages show the row's name.
void PrintTo(const CFaultRow& ARow, std::ostream* pStream);

const std::vector<CFaultRow>& GetFaultRows();
CResults Succeeds(unsigned uFiles = kAll);
bool HasFile(unsigned uFiles, int nStage);

// The rows run with the times the program ships with when
// IAP_FAULTS_SHIPPED=1 (30 s stall limit, 5 s answer wait, 10 s firmware
// pause, a line paced at 256000 baud); by default with short ones.
bool IsShipped();
CWorkSettings RowSettings();
std::string ShownText(const std::pair<int, int>& AResult);

// The ports, the update files of a row and what the device must keep.
class CFaultBench {
public:
    explicit CFaultBench(const CFaultRow& ARow);
    ~CFaultBench();
    // The folder of the row's update files.
    const std::filesystem::path& GetFolder() const { return m_Folder; }
    // Writes the row's files, the damaged one as the row says.
    void WriteFiles(const CFaultRow& ARow) const;
    // The device on its port with the row's fault (and the second device on
    // COM7 when the row has one); null when the row has no device.
    std::unique_ptr<CSimDevice> StartRowDevice(const CFaultRow& ARow);
    // A menu that differs from the device's in one choice, as a user's edit.
    CSettingsBlock EditedMenu(const CSettingsBlock& ADevice);
    // Each stage's image against its result: the file whole after a
    // success, not after a failure, nothing when the stage never began.
    // Returns what the device kept, stage by stage: "=" the file whole,
    // "partial" something else, "none" nothing.
    std::string ExpectRecorded(const CSimDevice& ADevice, const CResults& Results, unsigned uFiles) const;
    // Nothing beyond the frames of the connection (the probe, 0x45, 0x47
    // and 0x49; none when the port must not have been opened) reached the
    // device.
    std::string ExpectNothingSent(const CSimDevice& ADevice, std::size_t nConnection = 4) const;
    // The second device was never opened.
    void ExpectSecondDeviceUntouched() const;

    CTempPortDir m_Ports;
    CUpdateFolder m_Files;
    CSettingsBlock m_Menu{};

private:
    CBytes Sent(int nStage) const;
    void WriteFile(const char* szName, const CBytes& Bytes) const;

    std::filesystem::path m_Folder;
    int m_fdHeld = -1; // COM3 as another program holds it

    // By stage: the firmware's bytes, the camera database, sound, radar.
    const CBytes m_Images[5] = {{}, RandomBytes(2048, 1), RandomBytes(9000, 2), RandomBytes(5000, 3),
                                RandomBytes(1100, 4)};
    std::unique_ptr<CSimDevice> m_pOther;

public:
    // The firmware crosses a 64 KiB segment, so every update sends an
    // extended address record in the middle of its data.
    static constexpr std::uint32_t kFirmwareBase = 0x0800FC00;
    const std::string m_strHex = MakeHex(kFirmwareBase, m_Images[1], "0102");
};

long MsSince(std::chrono::steady_clock::time_point tStart);

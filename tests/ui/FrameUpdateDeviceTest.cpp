// The update window against the virtual device: a whole update from one
// click on each kind of last stage, the settings dialog on the way, and a
// port the user may not open. The device lives on a pseudo-terminal: POSIX.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "DeviceTestKit.h"
#include "Frame_Set.h"
#include "StageText.h"
#include "UiTestKit.h"

using namespace std::chrono_literals;

namespace {

QString Stage(int nStage, EStageText eText) { return QString::fromWCharArray(GetStageText(nStage, eText)); }

class FrameUpdateDevice : public testing::Test {
protected:
    void WriteFiles()
    {
        m_Files.Write("AC7811_project.hex", MakeHex(0x08000000, RandomBytes(3000, 1), "0102"));
        m_Files.Write("flagdata.bin", m_EDog);
        m_Files.Write("audioHead.bin", RandomBytes(5000, 3));
        m_Files.Write("rdfw.bin", RandomBytes(3000, 4));
    }
    // Runs the update from one click; answers every status text shown, and
    // whether the buttons stayed disabled for as long as it ran.
    bool RunUpdate(std::set<QString>& aTexts)
    {
        const CFrame_Update& AFrame = *m_pProgram->pFrame;
        CStatusRecorder ARecorder(AFrame, m_pProgram->ABridge);
        Click(AFrame, "btn_update");
        bool bDisabled = true;
        const bool bEnded = WaitUntil([&] {
            if (AFrame.IsUpdating())
                bDisabled = bDisabled && !IsEnabled(AFrame, "btn_update") && !IsEnabled(AFrame, "btn_settings") &&
                            !IsEnabled(AFrame, "btn_cancel");
            return AFrame.GetCurrentStage() == 6 && !AFrame.IsUpdating();
        }, 60s);
        aTexts = ARecorder.GetTexts();
        EXPECT_TRUE(bEnded) << "the update never ended";
        return bEnded && bDisabled;
    }

    CTempPortDir m_Ports;
    CUpdateFolder m_Files;
    CBytes m_EDog = RandomBytes(9000, 2);
    std::unique_ptr<CSimDevice> m_pDevice;
    std::unique_ptr<CUiProgram> m_pProgram;
};

} // namespace

TEST_F(FrameUpdateDevice, OneClickUpdatesEverythingWithTheEditedMenu)
{
    WriteFiles();
    m_pDevice = StartDevice(m_Ports.GetPath(), 3);
    m_pProgram = std::make_unique<CUiProgram>(m_Files);
    ASSERT_TRUE(m_pProgram->Open());
    CFrame_Update& AFrame = *m_pProgram->pFrame;
    ASSERT_TRUE(m_pProgram->WaitReady());

    std::wstring strFirmware, strData, strRadar;
    m_pProgram->AWork.GetDeviceVersions(strFirmware, strData, strRadar);
    EXPECT_FALSE(strFirmware.empty());
    EXPECT_EQ(TextOf(AFrame, "lbl_device_firmwareversion"), QString::fromStdWString(strFirmware));
    EXPECT_EQ(TextOf(AFrame, "lbl_device_radarversion"), QString::fromStdWString(strRadar));
    const auto& aDeviceG = m_pDevice->GetOptions().SettingsG;
    EXPECT_TRUE(std::equal(aDeviceG.begin(), aDeviceG.end(), m_pProgram->AData.aSharedSettings.begin()))
        << "the shared menu is what the device reported";

    // The settings button runs the dialog modally with the main window hidden.
    bool bMainHidden = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* pTop : QApplication::topLevelWidgets())
            if (auto* pSet = qobject_cast<CFrame_Set*>(pTop); pSet && pSet->isVisible()) {
                bMainHidden = !AFrame.isVisible();
                Pick(*pSet, "como_frame1_content_2_2", 9);  // page 1: 1000M
                Click(*pSet, "btn_ok");
            }
    });
    Click(AFrame, "btn_settings");
    EXPECT_TRUE(bMainHidden);
    EXPECT_TRUE(AFrame.isVisible());
    const CSettingsBlock aMenu = m_pProgram->AData.aSharedSettings;
    EXPECT_EQ(aMenu[26], 9);

    std::set<QString> aTexts;
    EXPECT_TRUE(RunUpdate(aTexts)) << "the buttons stay disabled until the whole update has ended";
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!"));
    EXPECT_EQ(BarOf(AFrame), 100);
    EXPECT_TRUE(IsEnabled(AFrame, "btn_update"));
    for (int nStage = 1; nStage <= 5; ++nStage)
        EXPECT_TRUE(aTexts.count(Stage(nStage, EStageText::Running)) || aTexts.count(Stage(nStage, EStageText::Succeeded)))
            << "stage " << nStage << " was never shown";
    EXPECT_EQ(m_pDevice->GetImage(0x21), m_EDog);
    EXPECT_EQ(m_pDevice->GetSettings(), CBytes(aMenu.begin(), aMenu.end())) << "0x4A carried the edited menu";
}

namespace {

struct CLastStageRow {
    const char* szName;
    std::vector<std::string> Files;
    bool bMenu;
};

void PrintTo(const CLastStageRow& ARow, std::ostream* pStream) { *pStream << ARow.szName; }

class FrameUpdateLastStage : public FrameUpdateDevice, public testing::WithParamInterface<CLastStageRow> {};

} // namespace

// Whatever the last stage, the driver is left with the whole update's
// result, a full bar and a window to use again.
TEST_P(FrameUpdateLastStage, TheFinalResultStaysOnScreen)
{
    for (const std::string& strFile : GetParam().Files) {
        if (strFile == "AC7811_project.hex")
            m_Files.Write(strFile, MakeHex(0x08000000, RandomBytes(600, 6), "0102"));
        else
            m_Files.Write(strFile, RandomBytes(9000, 5));
    }
    m_pDevice = StartDevice(m_Ports.GetPath(), 3);
    m_pProgram = std::make_unique<CUiProgram>(m_Files);
    ASSERT_TRUE(m_pProgram->Open());
    const CFrame_Update& AFrame = *m_pProgram->pFrame;
    ASSERT_TRUE(m_pProgram->WaitReady());
    EXPECT_EQ(TextOf(AFrame, "lbl_device_firmwareversion"), "0102") << "the device's version as the file writes it";
    if (GetParam().bMenu)
        m_pProgram->AData.aSharedSettings[5] ^= 0x01;

    std::set<QString> aTexts;
    EXPECT_TRUE(RunUpdate(aTexts));
    // Anything that still arrives has its chance to wipe the result.
    WaitUntil([] { return false; }, 300ms);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!"));
    EXPECT_EQ(TextOf(AFrame, "lbl_detail"), "");
    EXPECT_EQ(TextOf(AFrame, "lbl_progress"), "");
    EXPECT_EQ(BarOf(AFrame), 100);
    for (const char* szButton : {"btn_update", "btn_settings", "btn_cancel"})
        EXPECT_TRUE(IsEnabled(AFrame, szButton)) << szButton;
}

INSTANTIATE_TEST_SUITE_P(
    LastStages, FrameUpdateLastStage,
    testing::Values(CLastStageRow{"firmware", {"AC7811_project.hex"}, false},
                    CLastStageRow{"camera_database", {"AC7811_project.hex", "flagdata.bin"}, false},
                    CLastStageRow{"sound", {"flagdata.bin", "audioHead.bin"}, false},
                    CLastStageRow{"radar", {"audioHead.bin", "rdfw.bin"}, false},
                    CLastStageRow{"menu", {"rdfw.bin"}, true}),
    [](const auto& AInfo) { return std::string(AInfo.param.szName); });
// A port the user may not open is named, with the fix, in the window's
// language. (A read-only sysctl file refuses to open for writing even for
// root, as a serial device of another group does for a user.)
TEST(FrameUpdate, APortThatMayNotBeOpenedIsNamedWithTheFix)
{
    CTempPortDir APorts;
    std::filesystem::create_symlink("/proc/sys/kernel/ostype", APorts.PortPath(2));
    CUpdateFolder AFiles;
    CUiProgram AProgram(AFiles);
    ASSERT_TRUE(AProgram.Open());
    const CFrame_Update& AFrame = *AProgram.pFrame;
    ASSERT_TRUE(WaitUntil([&] { return !TextOf(AFrame, "lbl_detail").isEmpty(); }, 10s));
    EXPECT_EQ(TextOf(AFrame, "lbl_detail"),
              QString::fromUtf8("Порт COM2 (%1) закрыт для этого пользователя: нет прав доступа. Добавьте "
                                "пользователя в группу dialout и войдите в систему заново.")
                  .arg(QString::fromStdString(APorts.PortPath(2))));
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update"));
}


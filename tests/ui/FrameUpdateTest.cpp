// The update window over the real skin, with a real worker.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "Frame_Set.h"
#include "StageText.h"
#include "UiTestKit.h"

using namespace std::chrono_literals;

namespace {

QString Stage(int nStage, EStageText eText) { return QString::fromWCharArray(GetStageText(nStage, eText)); }

struct CElapsedRow {
    std::uint32_t dwMs;
    const char* szText;
};

struct CProgressRow {
    std::uint32_t dwTotal, dwDone;
    bool bShown;
    int nBar;
    const char* szPercent;
};

} // namespace

TEST(FrameUpdateTexts, ElapsedTimeAndPercentages)
{
    for (const CElapsedRow& ARow : {CElapsedRow{0, "00:00:00"}, {999, "00:00:00"}, {3725000, "01:02:05"},
                                    {3725999, "01:02:05"}, {360000000, "100:00:00"}})
        EXPECT_EQ(CFrame_Update::FormatElapsed(ARow.dwMs), QString::fromUtf8("Время обновления: ") + ARow.szText)
            << ARow.dwMs;
    // The start tick may lie before the counter rolled over.
    EXPECT_EQ(CFrame_Update::FormatElapsed(std::uint32_t{5000} - std::uint32_t{0xFFFFF000}),
              QString::fromUtf8("Время обновления: 00:00:09"));

    for (const CProgressRow& ARow : {CProgressRow{100, 0, true, 6, "0%"}, {100, 1, true, 6, "1%"},
                                     {100, 6, true, 6, "6%"}, {100, 7, true, 7, "7%"}, {100, 100, true, 100, "100%"},
                                     {3, 2, true, 66, "66%"}, {0, 0, false, 0, ""}, {0, 5, false, 0, ""}}) {
        int nBar = 0;
        QString strPercent;
        EXPECT_EQ(CFrame_Update::CalcProgress(ARow.dwTotal, ARow.dwDone, nBar, strPercent), ARow.bShown);
        if (ARow.bShown) {
            EXPECT_EQ(nBar, ARow.nBar) << ARow.dwDone << "/" << ARow.dwTotal;
            EXPECT_EQ(strPercent, QString::fromLatin1(ARow.szPercent));
        }
    }
}

// Notifications as the worker sends them, without a device.
TEST(FrameUpdate, NotificationsDriveStatusBarAndButtons)
{
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    CUiProgram AProgram(AFiles);
    AProgram.AData.aVersionTexts = {L"RD-1", L"0102", L"0003", L"1a2b"};
    ASSERT_TRUE(AProgram.Open());
    const CFrame_Update& AFrame = *AProgram.pFrame;
    auto Send = [&](std::uint32_t uMsg, std::uintptr_t w = 0, std::intptr_t l = 0) {
        AProgram.pFrame->HandleMessage(uMsg, w, l);
    };

    EXPECT_EQ(TextOf(AFrame, "lbl_device_type"), "RD-1");
    EXPECT_EQ(TextOf(AFrame, "lbl_file_radarversion"), "1a2b");
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update")) << "the skin creates it disabled";
    EXPECT_FALSE(IsEnabled(AFrame, "btn_settings"));
    EXPECT_TRUE(TextOf(AFrame, "lbl_status").startsWith(QString::fromUtf8("Поиск устройства")));

    // Nothing to send at all: said plainly, and the window is usable again.
    Send(WM_DEVICE_READY);
    ASSERT_TRUE(IsEnabled(AFrame, "btn_update"));
    Click(AFrame, "btn_update");
    EXPECT_TRUE(TextOf(AFrame, "lbl_status").startsWith(QString::fromUtf8("Нечего обновлять")));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_update"));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_cancel"));
    EXPECT_FALSE(AFrame.IsUpdating());

    // An update runs (a changed menu is there to send): late answers of the
    // device enable nothing.
    AProgram.AWork.SetWriteSettings(1);  // a changed menu: StartUpdate queues 0x4A
    Click(AFrame, "btn_update");
    ASSERT_TRUE(AFrame.IsUpdating());
    Send(WM_SETTINGS_READ);
    Send(WM_DEVICE_READY);
    EXPECT_FALSE(IsEnabled(AFrame, "btn_settings"));
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update"));
    Send(WM_STAGE_START, 2, 100);
    EXPECT_EQ(BarOf(AFrame), 0);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), Stage(2, EStageText::Running));
    Send(WM_PROGRESS, 100, 1);
    EXPECT_EQ(BarOf(AFrame), 6);
    EXPECT_EQ(TextOf(AFrame, "lbl_progress"), "1%");
    Send(WM_PROGRESS, 3, 2);
    EXPECT_EQ(TextOf(AFrame, "lbl_progress"), "66%");
    Send(WM_PROGRESS, 0, 7);
    EXPECT_EQ(BarOf(AFrame), 66) << "a total of 0 leaves the bar as it is";
    EXPECT_EQ(TextOf(AFrame, "lbl_progress"), "66%");
    Send(WM_STAGE_RESULT, 2, 1);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Не удалось обновить базу камер!"));
    EXPECT_EQ(BarOf(AFrame), 66) << "a failed stage shows how far it got";
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update")) << "only the whole update's result enables the buttons";
    EXPECT_FALSE(IsEnabled(AFrame, "btn_cancel"));
    Send(WM_PROGRESS, 3, 3);
    EXPECT_EQ(BarOf(AFrame), 66) << "a progress after its stage's result changes nothing";
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Не удалось обновить базу камер!"));
    Send(WM_STAGE_START, 3, 3);
    Send(WM_PROGRESS, 3, 3);
    EXPECT_EQ(BarOf(AFrame), 100);
    Send(WM_STAGE_RESULT, 3, 1);
    EXPECT_EQ(BarOf(AFrame), 99) << "every block answered, yet failed: never a full bar";
    Send(WM_STAGE_RESULT, 5, 1);
    EXPECT_EQ(BarOf(AFrame), 0) << "the menu stage failed before it began";
    Send(WM_STAGE_START, 6, 0);
    EXPECT_EQ(BarOf(AFrame), 100);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), "");
    Send(WM_STAGE_RESULT, 6, 0);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!"));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_update"));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_settings"));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_cancel"));
    Send(WM_PROGRESS, 1, 1);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!")) << "nothing wipes the result";

    // Unplugged: said so, with the last result below; found again: a
    // clean slate.
    AProgram.pFrame->FindControl<QLabel>("lbl_device_firmwareversion")->setText("0102");
    AProgram.pFrame->FindControl<QLabel>("lbl_usetime")->setText(CFrame_Update::FormatElapsed(21000));
    Send(WM_DEVICE_LOST);
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update"));
    EXPECT_EQ(TextOf(AFrame, "lbl_device_firmwareversion"), "");
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Устройство отключено. Поиск устройства..."));
    EXPECT_EQ(TextOf(AFrame, "lbl_detail"), QString::fromUtf8("Последнее обновление: Успешно обновлено!"));
    Send(WM_DEVICE_READY);
    EXPECT_TRUE(IsEnabled(AFrame, "btn_update"));
    EXPECT_EQ(TextOf(AFrame, "lbl_status"),
              QString::fromUtf8("Устройство подключено. Нажмите «Обновить», чтобы начать."));
    EXPECT_EQ(TextOf(AFrame, "lbl_detail"), "");
    EXPECT_EQ(BarOf(AFrame), 0);
    EXPECT_EQ(TextOf(AFrame, "lbl_progress"), "");
    EXPECT_EQ(TextOf(AFrame, "lbl_usetime"), CFrame_Update::FormatElapsed(0));
}

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

// A disabled button must look disabled, whatever role the skin gives it:
// one that looks live and does nothing confuses.
TEST(FrameUpdate, DisabledButtonsLookDisabledAndBothWindowsHaveTheIcon)
{
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    CUiProgram AProgram(AFiles);
    ASSERT_TRUE(AProgram.Open());
    CFrame_Set ASet(L"Frame_Set.xml", AProgram.AData);
    ASSERT_TRUE(ASet.Create(nullptr, QStringLiteral("IAP Tool")));
    ASet.show();
    const std::pair<const WindowImplBase*, const char*> Buttons[] = {
        {AProgram.pFrame.get(), "btn_update"}, {AProgram.pFrame.get(), "btn_settings"},
        {AProgram.pFrame.get(), "btn_cancel"}, {&ASet, "btn_ok"}, {&ASet, "btn_cancel"}, {&ASet, "btn_rdsfd"},
        {&ASet, "btn_dfs"}};
    for (const auto& [pWindow, szName] : Buttons) {
        auto* pButton = pWindow->FindControl<QPushButton>(szName);
        ASSERT_NE(pButton, nullptr) << szName;
        pButton->setEnabled(true);
        const QImage AEnabled = pButton->grab().toImage();
        pButton->setEnabled(false);
        const QImage ADisabled = pButton->grab().toImage();
        EXPECT_NE(AEnabled, ADisabled) << szName << " looks the same enabled and disabled";
    }
    for (const WindowImplBase* pWindow : {static_cast<const WindowImplBase*>(AProgram.pFrame.get()),
                                          static_cast<const WindowImplBase*>(&ASet)}) {
        const QList<QSize> Sizes = pWindow->windowIcon().availableSizes();
        EXPECT_TRUE(Sizes.contains(QSize(16, 16)) && Sizes.contains(QSize(256, 256)))
            << pWindow->objectName().toStdString() << " has " << Sizes.size() << " icon sizes";
    }
    ASet.Close(0);
}

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

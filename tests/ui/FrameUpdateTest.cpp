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

class FrameUpdate : public CWindowTest {};

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
TEST_F(FrameUpdate, NotificationsDriveStatusBarAndButtons)
{
    m_Files.Write("ver.txt", "RD-1\r\n0102\r\n0003\r\n1a2b\r\n");
    Frame().ChangeUpdateFolder(m_Files.GetPath());  // reads the folder's ver.txt again
    const CFrame_Update& AFrame = Frame();
    auto Send = [&](std::uint32_t uMsg, std::uintptr_t w = 0, std::intptr_t l = 0) {
        m_Program.pFrame->HandleMessage(uMsg, w, l);
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
    m_Program.AWork.SetWriteSettings(1);  // a changed menu: StartUpdate queues 0x4A
    Click(AFrame, "btn_update");
    ASSERT_TRUE(AFrame.IsUpdating());
    Send(WM_SETTINGS_READ);
    Send(WM_DEVICE_READY);
    EXPECT_FALSE(IsEnabled(AFrame, "btn_settings"));
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update"));
    Send(WM_STAGE_START, 2, 100);
    EXPECT_EQ(BarOf(AFrame), 0);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), Stage(2, EStageText::Running));
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

    // Unplugged: said so, with the last result below (found again, the
    // fault matrix's replug rows show the clean slate).
    m_Program.pFrame->FindControl<QLabel>("lbl_device_firmwareversion")->setText("0102");
    Send(WM_DEVICE_LOST);
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update"));
    EXPECT_EQ(TextOf(AFrame, "lbl_device_firmwareversion"), "");
    EXPECT_EQ(TextOf(AFrame, "lbl_detail"), QString::fromUtf8("Последнее обновление: Успешно обновлено!"));
}

// A disabled button must look disabled, whatever role the skin gives it:
// one that looks live and does nothing confuses.
TEST_F(FrameUpdate, DisabledButtonsLookDisabledAndBothWindowsHaveTheIcon)
{
    CFrame_Set ASet(L"Frame_Set.xml", m_Program.AData);
    ASSERT_TRUE(ASet.Create(nullptr, QStringLiteral("IAP Tool")));
    ASet.show();
    const std::pair<const WindowImplBase*, const char*> Buttons[] = {
        {m_Program.pFrame.get(), "btn_update"}, {m_Program.pFrame.get(), "btn_settings"},
        {m_Program.pFrame.get(), "btn_cancel"}, {&ASet, "btn_ok"}, {&ASet, "btn_cancel"}, {&ASet, "btn_rdsfd"},
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
    for (const WindowImplBase* pWindow : {static_cast<const WindowImplBase*>(m_Program.pFrame.get()),
                                          static_cast<const WindowImplBase*>(&ASet)}) {
        const QList<QSize> Sizes = pWindow->windowIcon().availableSizes();
        EXPECT_TRUE(Sizes.contains(QSize(16, 16)) && Sizes.contains(QSize(256, 256)))
            << pWindow->objectName().toStdString() << " has " << Sizes.size() << " icon sizes";
    }
    ASet.Close(0);
}

// The settings button runs the dialog modally with the main window hidden;
// its OK leaves the edit in the shared menu, which the update sends.
TEST_F(FrameUpdate, SettingsRunModallyWithTheMainWindowHidden)
{
    CFrame_Update& AFrame = *m_Program.pFrame;
    AFrame.HandleMessage(WM_DEVICE_READY, 0, 0);
    AFrame.HandleMessage(WM_SETTINGS_READ, 0, 0);
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
    EXPECT_EQ(m_Program.AData.aSharedSettings[26], 9);
}

// The keyboard: no caption button takes the focus, «Обновить» has it once
// it can be pressed, and Tab goes through the buttons as they stand.
TEST_F(FrameUpdate, FocusStartsOnUpdateAndTabFollowsTheButtons)
{
    CFrame_Update& AFrame = Frame();
    AFrame.activateWindow();
    EXPECT_EQ(AFrame.FindControl<QPushButton>("btn_min")->focusPolicy(), Qt::NoFocus);
    AFrame.HandleMessage(WM_DEVICE_READY, 0, 0);
    EXPECT_EQ(AFrame.focusWidget(), AFrame.FindControl<QPushButton>("btn_update"));
    std::vector<QString> Order;
    QWidget* p = AFrame.FindControl("btn_folder");
    for (int i = 0; i < 200 && Order.size() < 4; ++i, p = p->nextInFocusChain())
        if (qobject_cast<QPushButton*>(p) != nullptr && (p->focusPolicy() & Qt::TabFocus) && p->isVisibleTo(&AFrame))
            Order.push_back(p->objectName());
    EXPECT_EQ(Order, (std::vector<QString>{"btn_folder", "btn_settings", "btn_cancel", "btn_update"}));
}

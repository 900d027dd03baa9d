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
        EXPECT_EQ(CFrame_Update::FormatElapsed(ARow.dwMs, ELanguage::Russian), QString::fromUtf8("Время обновления: ") + ARow.szText)
            << ARow.dwMs;
    // The start tick may lie before the counter rolled over.
    EXPECT_EQ(CFrame_Update::FormatElapsed(std::uint32_t{5000} - std::uint32_t{0xFFFFF000}, ELanguage::Russian),
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

// A disabled button must look disabled, whatever role the skin gives it:
// one that looks live and does nothing confuses.
TEST_F(FrameUpdate, DisabledButtonsLookDisabledAndBothWindowsHaveTheIcon)
{
    CFrame_Set ASet(L"Frame_Set.xml", m_Program.AData, {}, {});
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

// The device settings dialog over the real skin: what each edit leaves in
// the shared device menu.
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <gtest/gtest.h>
#include <sstream>

#include "Frame_Set.h"
#include "SettingsChoices.h"
#include "UiTestKit.h"

namespace {

// A menu with a valid choice in every per-page byte, the check boxes
// alternating, and every byte the dialog does not use set to 0xA5.
CSettingsBlock MakeMenu(int nSeed)
{
    CSettingsBlock aMenu;
    aMenu.fill(0xA5);
    for (const CComboChoice& AChoice : GetComboChoices())
        if (AChoice.IsPerPage())
            for (int nPage = 1; nPage <= 4; ++nPage)
                aMenu[AChoice.nOffset + nPage - 1] =
                    static_cast<std::uint8_t>((nSeed + nPage * 3 + AChoice.nOffset) % AChoice.MakeTexts().size());
    for (std::size_t n = 0; n < 12; ++n)
        aMenu[kCheckBoxOffset + n] = static_cast<std::uint8_t>((n + nSeed) % 2);
    return aMenu;
}

void ShowPage(const CFrame_Set& ASet, int nPage)
{
    Click(ASet, ("option_frame_1_" + std::to_string(nPage + 1)).c_str());
}

// A key pressed with the focus on the control; what the control does not
// use goes on to its window, as the toolkit hands it on.
void PressKey(QWidget& AControl, const std::string& strKey)
{
    AControl.setFocus();
    QKeyEvent AKey(QEvent::KeyPress, strKey == "return" ? Qt::Key_Return : Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&AControl, &AKey);
}

QComboBox* Combo(const CFrame_Set& ASet, const char* szName) { return ASet.FindControl<QComboBox>(szName); }
QCheckBox* Box(const CFrame_Set& ASet, const char* szName) { return ASet.FindControl<QCheckBox>(szName); }

// Steps as a user takes them, separated by commas: "page N", "pick COMBO
// INDEX", "check BOX", "uncheck BOX", "toggle BOX", "click BUTTON", "key
// CONTROL return|escape" (the key pressed with the focus on the control).
void Act(CFrame_Set& ASet, const std::string& strSteps)
{
    std::istringstream AStream(strSteps);
    for (std::string strStep; std::getline(AStream, strStep, ',');) {
        std::istringstream AStep(strStep);
        std::string strVerb, strName;
        AStep >> strVerb >> strName;
        if (strVerb == "page")
            ShowPage(ASet, std::stoi(strName));
        else if (strVerb == "pick")
            Pick(ASet, strName.c_str(), [&] { int n = 0; AStep >> n; return n; }());
        else if (strVerb == "click")
            Click(ASet, strName.c_str());
        else if (strVerb == "toggle")
            Box(ASet, strName.c_str())->toggle();
        else if (strVerb == "check" || strVerb == "uncheck")
            Box(ASet, strName.c_str())->setChecked(strVerb == "check");
        else if (strVerb == "key")
            PressKey(*ASet.FindControl(strName.c_str()), [&] { std::string s; AStep >> s; return s; }());
        else
            ADD_FAILURE() << "no such step: " << strStep;
    }
}

// What the shared menu holds after the steps: the opening menu (MakeMenu(1))
// with some bytes changed, or block G or I as the worker holds them.
enum class EMenuAfter { Edited, BlockG, BlockI };

struct CSetRow {
    const char* szName;
    const char* szSteps;
    std::vector<std::pair<int, int>> Changed = {}; // offset, value
    EMenuAfter eAfter = EMenuAfter::Edited;
};

void PrintTo(const CSetRow& ARow, std::ostream* pStream) { *pStream << ARow.szName; }

class FrameSet : public CMenuTest, public testing::WithParamInterface<CSetRow> {};
class FrameSetControls : public CMenuTest {};

} // namespace

TEST_P(FrameSet, EditsReachTheSharedMenuOnlyOnOk)
{
    const CSetRow& ARow = GetParam();
    CProgramData& AData = m_Data;
    const CSettingsBlock aG = MakeMenu(2), aI = MakeMenu(3);
    AData.aSharedSettings = MakeMenu(1);
    CFrame_Set ASet(L"Frame_Set.xml", AData, aG, aI);
    ASSERT_TRUE(ASet.Create(nullptr, QStringLiteral("IAP Tool")));
    ASSERT_EQ(ASet.GetCurrentPage(), 1);
    Act(ASet, ARow.szSteps);
    CSettingsBlock aExpected = ARow.eAfter == EMenuAfter::BlockG ? aG : ARow.eAfter == EMenuAfter::BlockI ? aI : MakeMenu(1);
    for (const auto& [nOffset, nValue] : ARow.Changed)
        aExpected[nOffset] = static_cast<std::uint8_t>(nValue);
    for (std::size_t n = 0; n < aExpected.size(); ++n)
        EXPECT_EQ(int(AData.aSharedSettings[n]), int(aExpected[n])) << "byte " << n;
    EXPECT_FALSE(ASet.isVisible()) << "every row ends the dialog";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FrameSet,
    testing::Values(
        CSetRow{"Page3FifthDistanceItem", "page 3, pick como_frame1_content_2_2 4, click btn_ok", {{28, 4}}},
        // Bytes 62 and 61.
        CSetRow{"CheckBoxesGiveZeroWhenChecked", "check checkbox_frame1_3_2, uncheck checkbox_frame1_1_1, click btn_ok",
                {{62, 0}, {61, 1}}},
        CSetRow{"EditsOnPageZeroAreStoredNowhere", "page 2, page 0, pick como_frame1_content_2_2 7, page 2, click btn_ok"},
        CSetRow{"APageIsStoredBeforeTheNextIsLoaded",
                "pick como_frame1_content_2_2 3, pick como_frame1_content_7_2 1, page 2, click btn_ok", {{26, 3}, {56, 1}}},
        CSetRow{"ReadFromDeviceDropsEveryEdit",
                "pick como_frame1_content_2_2 3, page 2, pick como_frame1_content_4_2 5, toggle checkbox_frame1_2_2, "
                "click btn_rdsfd, click btn_ok",
                {}, EMenuAfter::BlockG},
        CSetRow{"FactoryBlockDropsEveryEdit", "page 4, pick como_frame1_content_6_2 17, click btn_dfs, click btn_ok", {},
                EMenuAfter::BlockI},
        CSetRow{"CancelChangesNothing",
                "pick como_frame1_content_2_2 3, toggle checkbox_frame1_2_2, page 2, click btn_cancel"},
        // The keyboard: Enter in a list saves, Enter on a focused button
        // presses it, Esc cancels wherever the focus is.
        CSetRow{"EnterSaves", "pick como_frame1_content_2_2 3, key como_frame1_content_2_2 return", {{26, 3}}},
        CSetRow{"EnterOnCancelCancels", "pick como_frame1_content_2_2 3, key btn_cancel return"},
        CSetRow{"EscapeCancels", "pick como_frame1_content_2_2 3, key checkbox_frame1_2_2 escape"}),
    [](const testing::TestParamInfo<CSetRow>& AInfo) { return std::string(AInfo.param.szName); });

TEST_F(FrameSetControls, AnAllZeroMenuShowsFirstItemsAndCheckedBoxes)
{
    CProgramData& AData = m_Data;
    CFrame_Set ASet(L"Frame_Set.xml", AData, {}, {});
    ASSERT_TRUE(ASet.Create(nullptr, QStringLiteral("IAP Tool")));
    for (const CComboChoice& AChoice : GetComboChoices()) {
        if (AChoice.IsPerPage()) {
            EXPECT_EQ(Combo(ASet, AChoice.szName)->currentIndex(), 0) << AChoice.szName;
        }
    }
    for (const char* szName : GetCheckBoxNames())
        EXPECT_TRUE(Box(ASet, szName)->isChecked()) << szName;
    Click(ASet, "btn_ok");
    EXPECT_EQ(AData.aSharedSettings, CSettingsBlock{});
}

TEST_F(FrameSetControls, ChoiceListsSwitchesAndHeaders)
{
    CProgramData& AData = m_Data;
    AData.aSharedSettings = MakeMenu(1);
    AData.aSharedSettings[27] = 40;  // not an item of como_frame1_content_2_2
    CFrame_Set ASet(L"Frame_Set.xml", AData, {}, {});
    ASSERT_TRUE(ASet.Create(nullptr, QStringLiteral("IAP Tool")));

    EXPECT_EQ(Combo(ASet, "como_frame1_1")->currentIndex(), 1);
    EXPECT_EQ(Combo(ASet, "como_frame1_1")->itemData(0).toString(), QString::fromUtf8("俄罗斯"));
    EXPECT_EQ(Combo(ASet, "como_frame1_2")->currentText(), QString::fromUtf8("ТУРБО"));
    EXPECT_EQ(Combo(ASet, "como_frame1_3")->count(), 12);
    EXPECT_EQ(Combo(ASet, "como_frame1_content_2_2")->itemText(4), "500M");
    EXPECT_FALSE(Combo(ASet, "como_frame1_content_2_2")->itemData(4).isValid()) << "a list without data";
    EXPECT_EQ(Combo(ASet, "como_frame1_content_6_2")->count(), 18);
    EXPECT_EQ(Combo(ASet, "como_frame1_content_6_2")->itemData(17).toString(), "85KM/h");
    EXPECT_EQ(Combo(ASet, "como_frame1_content_4_2")->itemText(10), "160KM/h");

    Pick(ASet, "como_frame1_gpsdata", 1);
    for (const char* szName : GetCheckBoxNames())
        EXPECT_FALSE(Box(ASet, szName)->isEnabled()) << szName;
    Pick(ASet, "como_frame1_gpsdata", 0);
    for (const char* szName : GetCheckBoxNames())
        EXPECT_TRUE(Box(ASet, szName)->isEnabled()) << szName;
    Pick(ASet, "como_frame1_3", 2);
    EXPECT_FALSE(Combo(ASet, "como_frame1_content_7_1")->isEnabled());
    Pick(ASet, "como_frame1_3", 0);
    EXPECT_TRUE(Combo(ASet, "como_frame1_content_7_1")->isEnabled());

    auto* pHeaders = ASet.FindControl("hlyr_mainoption")->layout();
    QWidget* pFirst = ASet.FindControl("option_main_1");
    QWidget* pSecond = ASet.FindControl("option_main_2");
    EXPECT_EQ(pHeaders->indexOf(pSecond), 0) << "page 0 shown: its option comes last";
    Click(ASet, "option_main_2");
    EXPECT_EQ(ASet.FindControl<QStackedWidget>("tab_main")->currentIndex(), 1);
    EXPECT_EQ(pHeaders->indexOf(pFirst), 0);
    EXPECT_EQ(pHeaders->indexOf(pSecond), 1);
    EXPECT_EQ(WindowImplBase::GetTextPadding(pFirst), QMargins(-80, 0, 0, 0));
    EXPECT_EQ(WindowImplBase::GetTextPadding(pSecond), QMargins(0, 0, 0, 0));

    // Page 2 shows no item for the value 40, and storing it keeps 40.
    ShowPage(ASet, 2);
    EXPECT_EQ(Combo(ASet, "como_frame1_content_2_2")->currentIndex(), -1);
    EXPECT_EQ(ASet.FindControl("option_frame_1_3")->font().bold(), true) << "font 4 marks the chosen page";
    Click(ASet, "btn_ok");
    EXPECT_EQ(AData.aSharedSettings[27], 40);
}

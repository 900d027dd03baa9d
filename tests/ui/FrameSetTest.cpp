// The device settings dialog over the real skin: what each edit leaves in
// the shared device menu.
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <gtest/gtest.h>

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

QComboBox* Combo(const CFrame_Set& ASet, const char* szName) { return ASet.FindControl<QComboBox>(szName); }
QCheckBox* Box(const CFrame_Set& ASet, const char* szName) { return ASet.FindControl<QCheckBox>(szName); }

struct CSetRow {
    const char* szName;
    bool bAllZero;  // the shared menu when the dialog opens; else MakeMenu(1)
    std::function<void(CFrame_Set&)> Act;
    std::function<void(CSettingsBlock& aExpected)> Expect;  // changes the opening menu into the result
};

class FrameSet : public testing::TestWithParam<CSetRow> {
protected:
    void SetUp() override
    {
        m_AWork.SetSettingsG(m_aG.data());
        m_AWork.SetSettingsI(m_aI.data());
    }
    CUpdateFolder m_Files;
    CProgramData m_AData = MakeProgramData(m_Files.GetPath());
    CWork_BK m_AWork;
    CSettingsBlock m_aG = MakeMenu(2);
    CSettingsBlock m_aI = MakeMenu(3);
};

} // namespace

TEST_P(FrameSet, EditsReachTheSharedMenuOnlyOnOk)
{
    const CSetRow& ARow = GetParam();
    CSettingsBlock aOpening{};
    if (!ARow.bAllZero)
        aOpening = MakeMenu(1);
    m_AData.aSharedSettings = aOpening;
    CFrame_Set ASet(L"Frame_Set.xml", m_AData);
    ASSERT_TRUE(ASet.Create(nullptr, QStringLiteral("IAP Tool")));
    ASSERT_EQ(ASet.GetCurrentPage(), 1);
    ARow.Act(ASet);
    CSettingsBlock aExpected = aOpening;
    ARow.Expect(aExpected);
    for (std::size_t n = 0; n < aExpected.size(); ++n)
        EXPECT_EQ(int(m_AData.aSharedSettings[n]), int(aExpected[n])) << "byte " << n;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FrameSet,
    testing::Values(
        CSetRow{"Page3FifthDistanceItem", false,
                [](CFrame_Set& ASet) {
                    ShowPage(ASet, 3);
                    Pick(ASet, "como_frame1_content_2_2", 4);
                    Click(ASet, "btn_ok");
                },
                [](CSettingsBlock& a) { a[28] = 4; }},
        CSetRow{"CheckBoxesGiveZeroWhenChecked", false,
                [](CFrame_Set& ASet) {
                    Box(ASet, "checkbox_frame1_3_2")->setChecked(true);   // byte 62
                    Box(ASet, "checkbox_frame1_1_1")->setChecked(false);  // byte 61
                    Click(ASet, "btn_ok");
                },
                [](CSettingsBlock& a) { a[62] = 0, a[61] = 1; }},
        CSetRow{"EditsOnPageZeroAreStoredNowhere", false,
                [](CFrame_Set& ASet) {
                    ShowPage(ASet, 2);
                    ShowPage(ASet, 0);
                    Pick(ASet, "como_frame1_content_2_2", 7);
                    ShowPage(ASet, 2);
                    Click(ASet, "btn_ok");
                },
                [](CSettingsBlock&) {}},
        CSetRow{"APageIsStoredBeforeTheNextIsLoaded", false,
                [](CFrame_Set& ASet) {
                    Pick(ASet, "como_frame1_content_2_2", 3);
                    Pick(ASet, "como_frame1_content_7_2", 1);
                    ShowPage(ASet, 2);
                    Click(ASet, "btn_ok");
                },
                [](CSettingsBlock& a) { a[26] = 3, a[56] = 1; }},
        CSetRow{"ReadFromDeviceDropsEveryEdit", false,
                [](CFrame_Set& ASet) {
                    Pick(ASet, "como_frame1_content_2_2", 3);
                    ShowPage(ASet, 2);
                    Pick(ASet, "como_frame1_content_4_2", 5);
                    Box(ASet, "checkbox_frame1_2_2")->toggle();
                    Click(ASet, "btn_rdsfd");
                    Click(ASet, "btn_ok");
                },
                [](CSettingsBlock& a) { a = MakeMenu(2); }},
        CSetRow{"FactoryBlockDropsEveryEdit", false,
                [](CFrame_Set& ASet) {
                    ShowPage(ASet, 4);
                    Pick(ASet, "como_frame1_content_6_2", 17);
                    Click(ASet, "btn_dfs");
                    Click(ASet, "btn_ok");
                },
                [](CSettingsBlock& a) { a = MakeMenu(3); }},
        CSetRow{"CancelChangesNothing", false,
                [](CFrame_Set& ASet) {
                    Pick(ASet, "como_frame1_content_2_2", 3);
                    Box(ASet, "checkbox_frame1_2_2")->toggle();
                    ShowPage(ASet, 2);
                    Click(ASet, "btn_cancel");
                },
                [](CSettingsBlock&) {}},
        CSetRow{"AnAllZeroMenuShowsFirstItemsAndCheckedBoxes", true,
                [](CFrame_Set& ASet) {
                    for (const CComboChoice& AChoice : GetComboChoices()) {
                        if (AChoice.IsPerPage()) {
                            EXPECT_EQ(Combo(ASet, AChoice.szName)->currentIndex(), 0) << AChoice.szName;
                        }
                    }
                    for (const char* szName : GetCheckBoxNames())
                        EXPECT_TRUE(Box(ASet, szName)->isChecked()) << szName;
                    Click(ASet, "btn_ok");
                },
                [](CSettingsBlock&) {}}),
    [](const testing::TestParamInfo<CSetRow>& AInfo) { return std::string(AInfo.param.szName); });

TEST(FrameSetControls, ChoiceListsSwitchesAndHeaders)
{
    CUpdateFolder AFiles;
    CProgramData AData = MakeProgramData(AFiles.GetPath());
    CWork_BK AWork;
    AData.aSharedSettings = MakeMenu(1);
    AData.aSharedSettings[27] = 40;  // not an item of como_frame1_content_2_2
    CFrame_Set ASet(L"Frame_Set.xml", AData);
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

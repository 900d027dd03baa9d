// The fault matrix through the window: every row, run by a click on
// «Обновить» in the real window (offscreen, the real skins, the real worker,
// the virtual device), checked for what the driver is left with: the texts,
// the bar, which buttons can be used, and what the device kept.
#include <algorithm>
#include <gtest/gtest.h>

#include "FaultRows.h"
#include "UiTestKit.h"

using namespace std::chrono_literals;

namespace {

QString Utf8(const char* sz) { return QString::fromUtf8(sz); }
QString Utf8(const std::string& str) { return QString::fromStdString(str); }

const char* const kFound = "Устройство подключено. Нажмите «Обновить», чтобы начать.";
const char* const kLost = "Устройство отключено. Поиск устройства...";

class FaultWindow : public testing::TestWithParam<CFaultRow>, protected CFaultBench {
protected:
    FaultWindow() : CFaultBench(GetParam()) {}

    std::chrono::milliseconds UpdateLimit() const { return IsShipped() ? 180s : 60s; }

    // The device found and, where it has one, its menu read.
    bool WaitUsable(const CUiProgram& AProgram, bool bNoMenu) const
    {
        const CFrame_Update& AFrame = *AProgram.pFrame;
        return WaitUntil([&] {
            return IsEnabled(AFrame, "btn_update") && (bNoMenu || IsEnabled(AFrame, "btn_settings"));
        });
    }

    // One click on the update button, as the driver would, with an edited
    // menu when the row sends one; answers every status text shown.
    std::set<QString> ClickUpdate(CUiProgram& AProgram)
    {
        if (GetParam().uFiles & kMenu)
            AProgram.AData.aSharedSettings = EditedMenu(AProgram.AData.aSharedSettings);
        const CFrame_Update& AFrame = *AProgram.pFrame;
        CStatusRecorder ARecorder(AFrame, AProgram.ABridge);
        Click(AFrame, "btn_update");
        EXPECT_TRUE(WaitUntil([&] { return !AFrame.IsUpdating(); }, UpdateLimit())) << "the update never ended";
        // Whatever still arrives has its chance to change the window.
        WaitUntil([] { return false; }, 200ms);
        return ARecorder.GetTexts();
    }
};

} // namespace

TEST_P(FaultWindow, LeavesTheDriverWithTheTruth)
{
    const CFaultRow& ARow = GetParam();
    WriteFiles(ARow);
    auto pDevice = StartRowDevice(ARow);
    const bool bNoMenu = pDevice && pDevice->GetOptions().bNoMenu;
    CUiProgram AProgram(GetFolder(), RowSettings());
    ASSERT_TRUE(AProgram.Open());
    const CFrame_Update& AFrame = *AProgram.pFrame;
    if (ARow.Expected.empty()) {
        // No device to update: the window says what the search met, and
        // offers nothing that needs a device.
        EXPECT_TRUE(WaitUntil([&] {
            return TextOf(AFrame, "lbl_status").contains(Utf8(ARow.szWhy)) ||
                   TextOf(AFrame, "lbl_detail").contains(Utf8(ARow.szWhy));
        }, 20s)) << TextOf(AFrame, "lbl_status").toStdString() << " / " << TextOf(AFrame, "lbl_detail").toStdString();
        EXPECT_FALSE(IsEnabled(AFrame, "btn_update"));
        EXPECT_TRUE(IsEnabled(AFrame, "btn_cancel"));
        if (pDevice)
            ExpectRecorded(*pDevice, {}, ARow.uFiles);
        return;
    }
    ASSERT_TRUE(WaitUsable(AProgram, bNoMenu));
    // The device's versions as the update files write them.
    EXPECT_EQ(TextOf(AFrame, "lbl_device_firmwareversion"), "0102");
    EXPECT_EQ(TextOf(AFrame, "lbl_device_radarversion"), "1a2b");
    if (pDevice) {
        // A driver clicks once the window has settled.
        EXPECT_TRUE(WaitUntil([&] { return EarlyRequestsAnswered(*pDevice); }, 10s))
            << "the device's request was never acknowledged";
    }

    const std::set<QString> aTexts = ClickUpdate(AProgram);
    // A damaged file is refused within the click, before the window shows
    // anything in between; the detail names the stage then.
    for (const auto& AResult : ARow.Expected)
        EXPECT_TRUE(ARow.nDamaged != 0 || aTexts.count(Utf8(ShownText(AResult))))
            << ShownText(AResult) << " was never shown";
    const bool bSuccess = ARow.Expected.back().second == 0;
    if (ARow.bReplug) {
        // Gone: said so, with the update's result below; nothing to click
        // that needs the device.
        EXPECT_TRUE(WaitUntil([&] { return TextOf(AFrame, "lbl_status") == Utf8(kLost); }, 10s));
        EXPECT_EQ(TextOf(AFrame, "lbl_detail"), Utf8("Последнее обновление: Ошибка обновления!"));
        EXPECT_FALSE(IsEnabled(AFrame, "btn_update"));
    } else {
        EXPECT_EQ(TextOf(AFrame, "lbl_status"), Utf8(ShownText(ARow.Expected.back())));
        EXPECT_TRUE(IsEnabled(AFrame, "btn_update"));
        const QString strDetail = TextOf(AFrame, "lbl_detail");
        if (bSuccess) {
            EXPECT_EQ(strDetail, "");
        } else {
            // The failed stage, then why.
            const int nFailed = ARow.Expected[ARow.Expected.size() - 2].first;
            EXPECT_TRUE(strDetail.startsWith(Utf8(ShownText({nFailed, 1})))) << strDetail.toStdString();
            EXPECT_TRUE(SaysWhy(ARow, strDetail.toStdString())) << strDetail.toStdString();
        }
    }
    EXPECT_EQ(TextOf(AFrame, "lbl_progress"), "");
    if (bSuccess)
        EXPECT_EQ(BarOf(AFrame), 100);
    else
        EXPECT_LT(BarOf(AFrame), 100) << "a full bar after a failure";
    EXPECT_TRUE(IsEnabled(AFrame, "btn_cancel"));
    EXPECT_EQ(IsEnabled(AFrame, "btn_settings"), !bNoMenu) << "the menu dialog opens only on a menu the device sent";
    ExpectRecorded(*pDevice, ARow.Expected, ARow.uFiles);
    if (ARow.nDamaged != 0)
        ExpectNothingSent(*pDevice);
    ExpectSecondDeviceUntouched();

    if (ARow.bReplug) {
        // Plugged back in: a clean slate, and the next update succeeds.
        ASSERT_TRUE(pDevice->WaitUntilEnded(10s));
        pDevice = StartDevice(m_Ports.GetPath(), 3);
        ASSERT_TRUE(WaitUsable(AProgram, false));
        EXPECT_EQ(TextOf(AFrame, "lbl_status"), Utf8(kFound));
        EXPECT_EQ(TextOf(AFrame, "lbl_detail"), "");
        EXPECT_EQ(BarOf(AFrame), 0);
        EXPECT_EQ(TextOf(AFrame, "lbl_usetime"), CFrame_Update::FormatElapsed(0, ELanguage::Russian));
        ClickUpdate(AProgram);
        EXPECT_EQ(TextOf(AFrame, "lbl_status"), Utf8("Успешно обновлено!"));
        EXPECT_EQ(BarOf(AFrame), 100);
        ExpectRecorded(*pDevice, Succeeds(), kAll);
    }
}

namespace {

// Every row but the mistakes in iap-cli's command line: the window takes none.
std::vector<CFaultRow> WindowRows()
{
    std::vector<CFaultRow> Rows;
    for (const CFaultRow& ARow : GetFaultRows())
        if (ARow.eInput == EInput::None)
            Rows.push_back(ARow);
    return Rows;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Window, FaultWindow, testing::ValuesIn(WindowRows()),
                         [](const auto& AInfo) { return std::string(AInfo.param.szName); });

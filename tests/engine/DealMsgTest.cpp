#include <gtest/gtest.h>

#include "EngineTestKit.h"

namespace {

CRawString Frame(std::uint8_t btCommand, const CBytes& Payload)
{
    const CBytes Bytes = MakeFrameBytes(btCommand, Payload);
    return CRawString(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
}

} // namespace

// The dispatcher on a worker without a port: what each answer changes.
class Dispatch : public testing::Test {
protected:
    Dispatch() { m_Engine.AWork.SetNotifyWnd(&m_Engine.ANotes); }
    void Feed(const CRawString& strFrame) { m_Engine.ADeal.DispatchReply(strFrame); }
    CEngine m_Engine;
};

TEST_F(Dispatch, DeviceInformationGivesTheThreeVersionTexts)
{
    Feed(Frame(0x46, {0x45, 0x03, 0x00, 0x7B, 0x00, 0x05, 0x1A, 0x2B}));
    std::wstring strFw, strData, strRadar;
    ASSERT_TRUE(m_Engine.AWork.GetDeviceVersions(strFw, strData, strRadar));
    // In the update files' notation: four hexadecimal digits, as the HEX
    // trailer "0102" and ver.txt write them.
    EXPECT_EQ(strFw, L"007b");
    EXPECT_EQ(strData, L"0005");
    EXPECT_EQ(strRadar, L"1a2b");
    Feed(Frame(0x46, {0x45, 0x03, 0x01, 0x02, 0x27, 0x10, 0xFF, 0xFF}));
    m_Engine.AWork.GetDeviceVersions(strFw, strData, strRadar);
    EXPECT_EQ(strFw, L"0102") << "the trailer 0102 sent back reads as the file's version";
    EXPECT_EQ(strData, L"2710");
    EXPECT_EQ(strRadar, L"ffff");
    EXPECT_EQ(m_Engine.AWork.GetTaskCount(), 4u) << "0x47 and 0x49 queued after each answer";
}

TEST_F(Dispatch, ShortFramesChangeNothing)
{
    Feed(Frame(0x46, {0x45, 0x03, 0x00, 0x7B, 0x00, 0x05, 0x1A}));
    Feed(Frame(0x48, CBytes(60, 0x47)));
    Feed(Frame(0x0D, {0x06}));
    Feed(Frame(0x24, {0x23}));
    Feed(Frame(0x4B, {}));
    std::wstring strFw, strData, strRadar;
    EXPECT_FALSE(m_Engine.AWork.GetDeviceVersions(strFw, strData, strRadar));
    EXPECT_TRUE(m_Engine.ANotes.GetNotes().empty());
    EXPECT_EQ(m_Engine.AWork.GetTaskCount(), 0u);
}

TEST_F(Dispatch, ProgressCountsOnlyTheAnswersThatSucceed)
{
    m_Engine.AWork.SetStage(2);
    Feed(Frame(0x0D, {0x06, 0x01}));  // failing status: nothing
    Feed(Frame(0x24, {0x23, 0x00}));
    Feed(Frame(0x34, {0x33, 0x02}));
    EXPECT_EQ(m_Engine.AWork.GetDoneCount(), 0u);
    Feed(Frame(0x44, {0x43, 0x07}));  // a flash failure: the radar block was not written
    EXPECT_EQ(m_Engine.AWork.GetDoneCount(), 0u);
    Feed(Frame(0x44, {0x43, 0x00}));  // any other status counts
    Feed(Frame(0x0D, {0x06, 0x02}));
    Feed(Frame(0x24, {0x23, 0x01}));
    EXPECT_EQ(m_Engine.AWork.GetDoneCount(), 3u);
    const std::vector<CNote> Notes = m_Engine.ANotes.GetNotes();
    ASSERT_EQ(Notes.size(), 3u);
    EXPECT_EQ(Notes[2], (CNote{WM_PROGRESS, 0, 3})) << "stage total in wParam, done count in lParam";
}

TEST_F(Dispatch, SettingsAnswersFillTheirOwnBlock)
{
    CBytes Reply{0x49};
    Reply.resize(74, 0x5A);
    Feed(Frame(0x48, Reply));
    CSettingsBlock AG{}, AI{};
    m_Engine.AWork.GetSettingsG(AG.data());
    m_Engine.AWork.GetSettingsI(AI.data());
    EXPECT_EQ(AG, CSettingsBlock{}) << "an 'I' answer leaves G alone";
    EXPECT_EQ(AI[0], 0x5A);
    EXPECT_EQ(AI[72], 0x5A);
    Reply[0] = 0x50;  // unknown letter: stored nowhere, still notified
    Feed(Frame(0x48, Reply));
    EXPECT_EQ(m_Engine.ANotes.GetNotes().size(), 2u);
}

TEST_F(Dispatch, SettingsWrittenEndsStagesFiveAndSixAndUnknownCommandsDoNothing)
{
    Feed(Frame(0x50, {0x01}));
    Feed(Frame(0x13, {}));
    EXPECT_TRUE(m_Engine.ANotes.GetNotes().empty());
    Feed(Frame(0x4B, {0x4A, 0x00}));
    EXPECT_EQ(m_Engine.ANotes.Results(), (std::vector<std::pair<int, int>>{{5, 0}, {6, 0}}));
    EXPECT_TRUE(m_Engine.ANotes.StageStarts().empty());
}

TEST_F(Dispatch, WithoutWindowNothingIsCountedButTheResultIsKept)
{
    m_Engine.AWork.SetNotifyWnd(nullptr);
    Feed(Frame(0x44, {0x43, 0x01}));
    EXPECT_EQ(m_Engine.AWork.GetDoneCount(), 0u);
    m_Engine.AWork.NotifyStageResult(3);
    EXPECT_EQ(m_Engine.AWork.GetLastResult(), 3);
}

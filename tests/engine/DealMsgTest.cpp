#include <gtest/gtest.h>

#include "EngineTestKit.h"
#include "TextCodec.h"

namespace {

CRawString Frame(std::uint8_t btCommand, const CBytes& Payload)
{
    const CBytes Bytes = MakeFrameBytes(btCommand, Payload);
    return CRawString(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
}

// What the dispatcher says a frame means, written down as text.
class CHeard final : public CReplyListener {
public:
    std::string strHeard;

    void OnDeviceInfo(std::uint8_t btPort, const std::array<std::wstring, 3>& V) override
    {
        Say("info %d %s %s %s", btPort, WideToUtf8(V[0]).c_str(), WideToUtf8(V[1]).c_str(), WideToUtf8(V[2]).c_str());
    }
    void OnSettingsBlock(std::uint8_t btRead, std::span<const std::uint8_t, kSettingsSize> B) override
    {
        Say("settings %02x %02x..%02x", btRead, B[0], B[72]);
    }
    void OnSettingsRefused(std::uint8_t btRead) override { Say("refused %02x", btRead); }
    void OnDeviceRequest() override { Say("request"); }
    void OnGoAhead(const CStage& A) override { Say("go-ahead %d", A.nStage); }
    void OnStartAccepted(const CStage& A) override { Say("accepted %d", A.nStage); }
    void OnBlockAnswer(const CStage& A, std::uint8_t btAnswered, std::uint8_t btStatus, bool bWritten) override
    {
        Say("block %d %02x %02x %s", A.nStage, btAnswered, btStatus, bWritten ? "written" : "not written");
    }
    void OnEndAnswered(const CStage& A, std::uint8_t btAnswered) override { Say("end %d %02x", A.nStage, btAnswered); }

private:
    template <class... TArgs>
    void Say(const char* szFormat, TArgs... Args)
    {
        char szText[128];
        std::snprintf(szText, sizeof szText, szFormat, Args...);
        strHeard += (strHeard.empty() ? "" : "; ") + std::string(szText);
    }
};

struct CMeaningRow {
    std::uint8_t btCommand;
    CBytes Payload;
    const char* szMeans;  // "" for a frame that means nothing
};

CBytes Settings(std::uint8_t btRead, std::size_t nBytes)
{
    CBytes Payload{btRead};
    for (std::size_t i = 0; i < nBytes; ++i)
        Payload.push_back(static_cast<std::uint8_t>(0x10 + i));
    return Payload;
}

} // namespace

// Every frame the device may send, and what the dispatcher makes of it: the
// versions in the files' notation, each stage's rule for its statuses, and
// nothing from a frame too short for its kind.
TEST(Dispatch, WhatEachFrameMeans)
{
    const CMeaningRow Rows[] = {
        {0x46, {0x45, 0x03, 0x00, 0x7B, 0x00, 0x05, 0x1A, 0x2B}, "info 3 007b 0005 1a2b"},
        {0x46, {0x45, 0x03, 0x01, 0x02, 0x27, 0x10, 0xFF, 0xFF}, "info 3 0102 2710 ffff"},
        {0x46, {0x45, 0x03, 0x00, 0x7B, 0x00, 0x05, 0x1A}, ""},
        {0x48, Settings(0x47, 73), "settings 47 10..58"},
        {0x48, Settings(0x49, 74), "settings 49 10..58"},
        {0x48, Settings(0x47, 72), ""},
        {0x0D, {0x47, 0x00}, "refused 47"},
        {0x0D, {0x06, 0x02}, "block 1 06 02 written"},
        {0x0D, {0x06, 0x01}, "block 1 06 01 not written"},
        {0x0D, {0x06}, ""},
        {0x24, {0x23, 0x01}, "block 2 23 01 written"},
        {0x24, {0x23, 0x00}, "block 2 23 00 not written"},
        {0x34, {0x33, 0x02}, "block 3 33 02 not written"},
        {0x44, {0x43, 0x07}, "block 4 43 07 not written"},  // a flash failure: the radar block was not written
        {0x44, {0x43, 0x00}, "block 4 43 00 written"},      // any other status counts
        {0x44, {0x43, 0x0A}, "block 4 43 0a written"},
        {0x24, {0x23}, ""},
        {0x0D, {0x1A, 0x05}, "end 1 1a"},
        {0x0D, {0x20, 0x01}, "end 2 20"},
        {0x4B, {0x4A, 0x00}, "end 5 4a"},
        {0x4B, {}, ""},
        {0x19, {}, "go-ahead 1"},
        {0x22, {}, "go-ahead 2"},
        {0x42, {}, "go-ahead 4"},
        {0x1C, {}, "accepted 1"},
        {0x21, {}, ""},
        {0x1B, {}, "request"},
        {0x13, {}, ""},
        {0x50, {0x01}, ""},
    };
    const CDealMsg ADeal;
    for (const CMeaningRow& ARow : Rows) {
        CHeard AHeard;
        ADeal.DispatchReply(Frame(ARow.btCommand, ARow.Payload), AHeard);
        EXPECT_EQ(AHeard.strHeard, ARow.szMeans) << "command " << int(ARow.btCommand);
    }
}

#include <gtest/gtest.h>

#include "EngineTestKit.h"
#include "TextCodec.h"

namespace {

CRawString Frame(std::uint8_t btCommand, const CBytes& Payload)
{
    const CBytes Bytes = MakeFrameBytes(btCommand, Payload);
    return CRawString(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
}

// What the decoder says a frame means, written down as text.
std::string Heard(const CReply& A)
{
    char szText[128] = "";
    const int nStage = A.pStage != nullptr ? A.pStage->nStage : 0;
    switch (A.eKind) {
    case CReply::EKind::None: break;
    case CReply::EKind::DeviceInfo:
        std::snprintf(szText, sizeof szText, "info %d %s %s %s", A.btPort, WideToUtf8(A.Versions[0]).c_str(),
                      WideToUtf8(A.Versions[1]).c_str(), WideToUtf8(A.Versions[2]).c_str());
        break;
    case CReply::EKind::SettingsBlock:
        std::snprintf(szText, sizeof szText, "settings %02x %02x..%02x", A.btAnswered, A.Block[0], A.Block[72]);
        break;
    case CReply::EKind::SettingsRefused: std::snprintf(szText, sizeof szText, "refused %02x", A.btAnswered); break;
    case CReply::EKind::DeviceRequest: std::snprintf(szText, sizeof szText, "request"); break;
    case CReply::EKind::GoAhead: std::snprintf(szText, sizeof szText, "go-ahead %d", nStage); break;
    case CReply::EKind::StartAccepted: std::snprintf(szText, sizeof szText, "accepted %d", nStage); break;
    case CReply::EKind::BlockAnswer:
        std::snprintf(szText, sizeof szText, "block %d %02x %02x %s", nStage, A.btAnswered, A.btStatus,
                      A.bWritten ? "written" : "not written");
        break;
    case CReply::EKind::EndAnswered: std::snprintf(szText, sizeof szText, "end %d %02x", nStage, A.btAnswered); break;
    }
    return szText;
}

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

// Every frame the device may send, and what the decoder makes of it: the
// versions in the files' notation, each stage's rule for its statuses, and
// nothing from a frame too short for its kind.
TEST(Decode, WhatEachFrameMeans)
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
    for (const CMeaningRow& ARow : Rows)
        EXPECT_EQ(Heard(ADeal.Decode(Frame(ARow.btCommand, ARow.Payload))), ARow.szMeans)
            << "command " << int(ARow.btCommand);
}

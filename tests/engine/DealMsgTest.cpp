#include <gtest/gtest.h>

#include "EngineTestKit.h"
#include "TextCodec.h"

namespace {

CRawString Frame(std::uint8_t btCommand, const CBytes& Payload)
{
    const CBytes Bytes = MakeFrameBytes(btCommand, Payload);
    return CRawString(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
}

// What the decoder says a frame means, written down as text: its kind, its
// stage, the command and status answered, written or not, then the kind's
// own fields.
std::string Heard(const CReply& A)
{
    if (A.eKind == CReply::EKind::None)
        return "";
    char szText[128];
    std::snprintf(szText, sizeof szText, "%d %d %02x %02x %d", static_cast<int>(A.eKind),
                  A.pStage != nullptr ? A.pStage->nStage : 0, A.btAnswered, A.btStatus, A.bWritten ? 1 : 0);
    std::string strHeard = szText;
    if (A.eKind == CReply::EKind::DeviceInfo)
        strHeard += " " + std::to_string(A.btPort) + " " + WideToUtf8(A.Versions[0] + L" " + A.Versions[1] + L" " + A.Versions[2]);
    if (A.eKind == CReply::EKind::SettingsBlock)
        strHeard += " " + std::to_string(A.Block[0]) + ".." + std::to_string(A.Block[72]);
    return strHeard;
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
        {0x46, {0x45, 0x03, 0x00, 0x7B, 0x00, 0x05, 0x1A, 0x2B}, "1 0 00 00 0 3 007b 0005 1a2b"},
        {0x46, {0x45, 0x03, 0x01, 0x02, 0x27, 0x10, 0xFF, 0xFF}, "1 0 00 00 0 3 0102 2710 ffff"},
        {0x46, {0x45, 0x03, 0x00, 0x7B, 0x00, 0x05, 0x1A}, ""},
        {0x48, Settings(0x47, 73), "2 0 47 00 0 16..88"},
        {0x48, Settings(0x49, 74), "2 0 49 00 0 16..88"},
        {0x48, Settings(0x47, 72), ""},
        {0x0D, {0x47, 0x00}, "3 0 47 00 0"},
        {0x0D, {0x06, 0x02}, "7 1 06 02 1"},
        {0x0D, {0x06, 0x01}, "7 1 06 01 0"},
        {0x0D, {0x06}, ""},
        {0x24, {0x23, 0x01}, "7 2 23 01 1"},
        {0x24, {0x23, 0x00}, "7 2 23 00 0"},
        {0x34, {0x33, 0x02}, "7 3 33 02 0"},
        {0x44, {0x43, 0x07}, "7 4 43 07 0"},  // a flash failure: the radar block was not written
        {0x44, {0x43, 0x00}, "7 4 43 00 1"},      // any other status counts
        {0x44, {0x43, 0x0A}, "7 4 43 0a 1"},
        {0x24, {0x23}, ""},
        {0x0D, {0x1A, 0x05}, "8 1 1a 05 0"},
        {0x0D, {0x20, 0x01}, "8 2 20 01 0"},
        {0x4B, {0x4A, 0x00}, "8 5 4a 00 0"},
        {0x4B, {}, ""},
        {0x19, {}, "5 1 00 00 0"},
        {0x22, {}, "5 2 00 00 0"},
        {0x42, {}, "5 4 00 00 0"},
        {0x1C, {}, "6 1 00 00 0"},
        {0x21, {}, ""},
        {0x1B, {}, "4 0 00 00 0"},
        {0x13, {}, ""},
        {0x50, {0x01}, ""},
    };
    const CDealMsg ADeal;
    for (const CMeaningRow& ARow : Rows)
        EXPECT_EQ(Heard(ADeal.Decode(Frame(ARow.btCommand, ARow.Payload))), ARow.szMeans)
            << "command " << int(ARow.btCommand);
}

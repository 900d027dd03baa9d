#include <gtest/gtest.h>
#include <vector>

#include "Frame.h"
#include "Packet_ISP.h"

using CBytes = std::vector<std::uint8_t>;

namespace {

CBytes FrameOf(const CPacket_ISP& APacket)
{
    return CBytes(APacket.GetData(), APacket.GetData() + APacket.GetSize());
}

struct CCut {
    std::vector<CBytes> Frames;
    CRawString strReceive;
    void Feed(const CBytes& Chunk)
    {
        CutFrames(strReceive, Chunk, [this](const CRawString& str) {
            Frames.emplace_back(str.GetData(), str.GetData() + str.GetLength());
        });
    }
};

} // namespace

TEST(Packet, BuildsTheFramesOnTheWire)
{
    CPacket_ISP APacket;
    EXPECT_EQ(APacket.GetCommand(), 0);
    ASSERT_TRUE(APacket.SetCommand(0x1A, nullptr, 0));
    EXPECT_EQ(FrameOf(APacket), (CBytes{0xAC, 0x05, 0x00, 0x1A, 0x1A}));
    EXPECT_EQ(APacket.GetCommand(), 0x1A);
    EXPECT_EQ(APacket.GetSize(), 5);

    const std::uint8_t btPort = 3;
    APacket.SetCommand(0x45, &btPort, 1);
    EXPECT_EQ(FrameOf(APacket), (CBytes{0xAC, 0x06, 0x00, 0x45, 0x03, 0x48}));

    const std::uint8_t btAck[2] = {0x06, 0x02};
    APacket.SetCommand(0x0D, btAck, 2);
    EXPECT_EQ(FrameOf(APacket), (CBytes{0xAC, 0x07, 0x00, 0x0D, 0x06, 0x02, 0x15}));
    EXPECT_TRUE(APacket.IsEmpty()) << "the inherited buffer stays empty";
}

TEST(Packet, LongPayloadStoresLengthLowByteFirstAndSumsModulo256)
{
    CBytes Payload(4096, 0xFF);
    CPacket_ISP APacket;
    ASSERT_TRUE(APacket.SetCommand(0x23, Payload.data(), 4096));
    ASSERT_EQ(APacket.GetSize(), 4101);
    EXPECT_EQ(APacket.GetData()[1], 4101 & 0xFF);
    EXPECT_EQ(APacket.GetData()[2], 4101 >> 8);
    EXPECT_EQ(APacket.GetData()[4100], static_cast<std::uint8_t>(0x23 + 4096 * 0xFF));
    EXPECT_FALSE(APacket.SetCommand(0x23, nullptr, 4));
}

struct CCutCase {
    const char* szName;
    std::vector<CBytes> Chunks;
    std::vector<CBytes> Expected;
    std::int32_t nLeft;
};

class FrameCut : public testing::TestWithParam<CCutCase> {};

TEST_P(FrameCut, DeliversExactlyTheValidFrames)
{
    CCut ACut;
    for (const CBytes& Chunk : GetParam().Chunks)
        ACut.Feed(Chunk);
    EXPECT_EQ(ACut.Frames, GetParam().Expected);
    EXPECT_EQ(ACut.strReceive.GetLength(), GetParam().nLeft);
}

const CBytes kAck = {0xAC, 0x07, 0x00, 0x0D, 0x06, 0x02, 0x15};
const CBytes kEnd = {0xAC, 0x05, 0x00, 0x1A, 0x1A};

INSTANTIATE_TEST_SUITE_P(
    Table, FrameCut,
    testing::Values(
        CCutCase{"whole", {kAck}, {kAck}, 0},
        CCutCase{"torn", {{0xAC, 0x07, 0x00}, {0x0D, 0x06, 0x02, 0x15}}, {kAck}, 0},
        CCutCase{"leading_noise", {{0x11, 0x22, 0xAC, 0x05, 0x00, 0x1A, 0x1A}}, {kEnd}, 0},
        CCutCase{"bad_sum_then_good",
                 {{0xAC, 0x05, 0x00, 0x1A, 0x1B, 0xAC, 0x05, 0x00, 0x1A, 0x1A}}, {kEnd}, 0},
        CCutCase{"command_above_0x51", {{0xAC, 0x05, 0x00, 0x52, 0x52}}, {}, 5},
        CCutCase{"command_zero", {{0xAC, 0x05, 0x00, 0x00, 0x00}}, {}, 5},
        CCutCase{"length_below_5", {{0xAC, 0x04, 0x00, 0x1A, 0x1A}}, {}, 5},
        CCutCase{"two_in_one_chunk", {{0xAC, 0x05, 0x00, 0x1A, 0x1A, 0xAC, 0x07, 0x00, 0x0D, 0x06, 0x02, 0x15}},
                 {kEnd, kAck}, 0},
        CCutCase{"high_length_byte_ignored", {{0xAC, 0x05, 0x01, 0x1A, 0x1A}},
                 {{0xAC, 0x05, 0x01, 0x1A, 0x1A}}, 0},
        // An incomplete candidate does not hide a complete frame inside it.
        CCutCase{"frame_inside_incomplete_candidate",
                 {{0xAC, 0x40, 0x00, 0x13, 0xAC, 0x05, 0x00, 0x1A, 0x1A}}, {kEnd}, 0},
        CCutCase{"byte_by_byte",
                 {{0xAC}, {0x07}, {0x00}, {0x0D}, {0x06}, {0x02}, {0x15}}, {kAck}, 0},
        CCutCase{"trailing_partial_kept", {{0xAC, 0x05, 0x00, 0x1A, 0x1A, 0xAC, 0x07}}, {kEnd}, 2}),
    [](const testing::TestParamInfo<CCutCase>& AInfo) { return std::string(AInfo.param.szName); });

TEST(FrameCut, NoiseCannotGrowTheBufferWithoutEnd)
{
    CCut ACut;
    const CBytes Noise(1000, 0x55);
    for (int i = 0; i < 200; ++i)
        ACut.Feed(Noise);
    EXPECT_LE(ACut.strReceive.GetLength(), kReceiveLimit);
    // A frame that starts in the last bytes before the bound is passed survives.
    CBytes Chunk(Noise);
    Chunk.insert(Chunk.end(), kAck.begin(), kAck.begin() + 3);
    for (int i = 0; i < 70; ++i)
        ACut.Feed(Noise);
    ACut.Feed(Chunk);
    ACut.Feed(CBytes(kAck.begin() + 3, kAck.end()));
    ASSERT_EQ(ACut.Frames.size(), 1u);
    EXPECT_EQ(ACut.Frames[0], kAck);
    EXPECT_EQ(ACut.strReceive.GetLength(), 0);
}

TEST(FrameCut, BoundKeepsTheTailWhereAFrameMayBeArriving)
{
    CRawString strReceive;
    CBytes Noise(kReceiveLimit, 0x00);
    // The start of a 200-byte frame right at the end of the noise.
    CBytes Payload(195, 0x01);
    CPacket_ISP APacket;
    APacket.SetCommand(0x13, Payload.data(), static_cast<std::uint16_t>(Payload.size()));
    const CBytes Frame = FrameOf(APacket);
    Noise.insert(Noise.end(), Frame.begin(), Frame.begin() + 150);
    int nFrames = CutFrames(strReceive, Noise, nullptr);
    EXPECT_EQ(nFrames, 0);
    EXPECT_EQ(strReceive.GetLength(), kReceiveKeep);
    nFrames = CutFrames(strReceive, CBytes(Frame.begin() + 150, Frame.end()), nullptr);
    EXPECT_EQ(nFrames, 1);
}

// A block frame from the host arrives in pieces. Its payload may hold a
// 0xAC that, with the bytes after it, passes for a frame of its own; the
// device must wait for the whole block instead of taking that one.
TEST(FrameCut, DeviceWaitsForALargeFrameWhosePayloadLooksLikeAFrame)
{
    CPacket_ISP AInner;
    const std::uint8_t btInner[2] = {0x06, 0x02};
    AInner.SetCommand(0x0D, btInner, 2);
    CBytes Payload(4096, 0x11);
    std::copy(AInner.GetData(), AInner.GetData() + AInner.GetSize(), Payload.begin() + 100);
    CPacket_ISP ABlock;
    ABlock.SetCommand(0x23, Payload.data(), static_cast<std::uint16_t>(Payload.size()));
    const CBytes Frame = FrameOf(ABlock);

    CRawString strReceive;
    std::vector<CBytes> Frames;
    const auto Keep = [&](const CRawString& str) { Frames.emplace_back(str.GetData(), str.GetData() + str.GetLength()); };
    CutFrames(strReceive, CBytes(Frame.begin(), Frame.begin() + 2000), Keep, &FindFrameWide);
    CutFrames(strReceive, CBytes(Frame.begin() + 2000, Frame.end()), Keep, &FindFrameWide);
    ASSERT_EQ(Frames.size(), 1u);
    EXPECT_EQ(Frames[0], Frame);
}

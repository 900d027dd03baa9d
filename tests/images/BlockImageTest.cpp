#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "File_EDogMusic.h"
#include "File_Project.h"
#include "File_Radar.h"
#include "ImageFile.h"
#include "ImageTestKit_Posix.h"

namespace {

enum class EKind { Radar, EDogMusic, Project };
constexpr EKind kKinds[] = {EKind::Radar, EKind::EDogMusic, EKind::Project};
const char* const kKindNames[] = {"Radar", "EDogMusic", "Project"};

struct SOutcome {
    int nResult = -1;
    ELoadState eState = ELoadState::Absent;
    std::vector<std::uint32_t> Sizes; // of the blocks, or one entry per record
    Bytes btJoined;
    std::uint32_t uFileSize = 0;
};

// Loads a path or reads a stream into an image of the kind, which first
// holds the file PathBefore when one is given.
template <class TImage>
SOutcome ReadImage(const auto& Source, const std::filesystem::path& PathBefore)
{
    TImage AImage(17, 45, 21, 13);
    SOutcome A;
    if (!PathBefore.empty() && AImage.Load(PathBefore) != 1)
        return A;
    if constexpr (std::is_same_v<std::decay_t<decltype(Source)>, std::FILE*>)
        A.nResult = AImage.Read(Source);
    else
        A.nResult = AImage.Load(Source);
    A.eState = AImage.GetLoadState();
    if constexpr (std::is_same_v<TImage, CFile_Project>) {
        A.Sizes.resize(AImage.GetRecordCount());
    } else {
        for (const CRawString& str : AImage.GetBlocks()) {
            A.Sizes.push_back(static_cast<std::uint32_t>(str.GetLength()));
            A.btJoined.insert(A.btJoined.end(), str.GetData(), str.GetData() + str.GetLength());
        }
        EXPECT_EQ(AImage.GetBlockCount(), A.Sizes.size());
    }
    if constexpr (std::is_same_v<TImage, CFile_Radar>)
        A.uFileSize = AImage.GetFileSize();
    return A;
}

SOutcome ReadImage(EKind eKind, const auto& Source, const std::filesystem::path& PathBefore = {})
{
    if (eKind == EKind::Radar)
        return ReadImage<CFile_Radar>(Source, PathBefore);
    if (eKind == EKind::EDogMusic)
        return ReadImage<CFile_EDogMusic>(Source, PathBefore);
    return ReadImage<CFile_Project>(Source, PathBefore);
}

// About 10000 bytes of the kind's file: raw bytes, or a sound firmware file.
Bytes TestFile(EKind eKind)
{
    if (eKind != EKind::Project)
        return RandomBytes(10000, 11);
    std::string strText = RecordLine(4, 0, {0x08, 0x00}) + "\r\n";
    for (std::uint16_t u = 0; strText.size() < 10000; u += 16)
        strText += RecordLine(0, u, RandomBytes(16, u)) + "\r\n";
    strText += ":00000001FF\r\n";
    return Bytes(strText.begin(), strText.end());
}

struct SBlockCase {
    EKind eKind;
    std::uint32_t uSize;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Runs; // block size, how many
};

class BlockSizes : public testing::TestWithParam<SBlockCase> {};

TEST_P(BlockSizes, CutTheWholeFileInOrder)
{
    const CUpdateFolder AFolder;
    const Bytes btFile = RandomBytes(GetParam().uSize, GetParam().uSize);
    const SOutcome A = ReadImage(GetParam().eKind, AFolder.Write("image.bin", btFile));
    std::vector<std::uint32_t> Expected;
    for (const auto& [uBlock, uTimes] : GetParam().Runs)
        Expected.insert(Expected.end(), uTimes, uBlock);
    EXPECT_EQ(A.nResult, 1);
    EXPECT_EQ(A.eState, ELoadState::Loaded);
    EXPECT_EQ(A.Sizes, Expected);
    EXPECT_TRUE(A.btJoined == btFile);
    EXPECT_EQ(A.uFileSize, GetParam().eKind == EKind::Radar ? GetParam().uSize : 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockSizes,
                         testing::Values(SBlockCase{EKind::Radar, 1024, {{1024, 1}}},
                                         SBlockCase{EKind::Radar, 1100, {{1024, 1}, {76, 1}}},
                                         SBlockCase{EKind::Radar, 1280, {{1024, 1}, {128, 2}}},
                                         SBlockCase{EKind::Radar, 2047, {{1024, 1}, {128, 7}, {127, 1}}},
                                         SBlockCase{EKind::Radar, 100, {{100, 1}}},
                                         SBlockCase{EKind::Radar, 129, {{128, 1}, {1, 1}}},
                                         SBlockCase{EKind::Radar, 70000, {{1024, 68}, {128, 2}, {112, 1}}},
                                         SBlockCase{EKind::EDogMusic, 4096, {{4096, 1}}},
                                         SBlockCase{EKind::EDogMusic, 4097, {{4096, 1}, {1, 1}}},
                                         SBlockCase{EKind::EDogMusic, 8193, {{4096, 2}, {1, 1}}}),
                         [](const auto& AInfo) {
                             return kKindNames[static_cast<int>(AInfo.param.eKind)] +
                                    std::to_string(AInfo.param.uSize);
                         });

// Each load starts from an empty image: an image once loaded keeps nothing
// when its file is gone or empty. An empty firmware file lacks its
// end-of-file record; an empty raw image is merely nothing to send.
TEST(Images, MissingFileIsAbsentAndEmptyFileHasNothingToSend)
{
    const CUpdateFolder AFolder;
    const auto PathEmpty = AFolder.Write("empty.bin", std::string());
    for (EKind eKind : kKinds) {
        SCOPED_TRACE(kKindNames[static_cast<int>(eKind)]);
        const auto PathGood = AFolder.Write("good.bin", TestFile(eKind));
        const SOutcome AMissing = ReadImage(eKind, AFolder.GetPath() / "missing.bin", PathGood);
        EXPECT_EQ(AMissing.nResult, 0);
        EXPECT_EQ(AMissing.eState, ELoadState::Absent);
        EXPECT_TRUE(AMissing.Sizes.empty());
        const SOutcome AEmpty = ReadImage(eKind, PathEmpty, PathGood);
        EXPECT_EQ(AEmpty.nResult, 0);
        EXPECT_EQ(AEmpty.eState, eKind == EKind::Project ? ELoadState::Damaged : ELoadState::Loaded);
        EXPECT_TRUE(AEmpty.Sizes.empty());
    }
}

struct SFailCase {
    EKind eKind;
    bool bFail; // the read fails; otherwise the file ends before its size
    const char* szTrace;
};

class ReadFailure : public testing::TestWithParam<SFailCase> {};

TEST_P(ReadFailure, InTheMiddleDamagesTheImage)
{
    const CUpdateFolder AFolder;
    const Bytes btFile = TestFile(GetParam().eKind);
    const FilePtr pFile(SFailingStream::Open(btFile, 5000, GetParam().bFail));
    ASSERT_NE(pFile, nullptr);
    testing::internal::CaptureStdout();
    const SOutcome A = ReadImage(GetParam().eKind, pFile.get(), AFolder.Write("good.bin", btFile));
    const std::string strTrace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(A.nResult, 0);
    EXPECT_EQ(A.eState, ELoadState::Damaged);
    EXPECT_TRUE(A.Sizes.empty());
    EXPECT_EQ(A.uFileSize, 0u);
    EXPECT_NE(strTrace.find(GetParam().szTrace), std::string::npos) << strTrace;
}

INSTANTIATE_TEST_SUITE_P(Streams, ReadFailure,
                         testing::Values(SFailCase{EKind::Radar, true, "offset 5000: read error"},
                                         SFailCase{EKind::Radar, false, "offset 5000: file ends before"},
                                         SFailCase{EKind::EDogMusic, true, "offset 5000: read error"},
                                         SFailCase{EKind::EDogMusic, false, "offset 5000: file ends before"},
                                         SFailCase{EKind::Project, true, "read error"},
                                         SFailCase{EKind::Project, false, "file ends inside a record"}),
                         [](const auto& AInfo) {
                             return kKindNames[static_cast<int>(AInfo.param.eKind)] +
                                    std::string(AInfo.param.bFail ? "Fails" : "EndsEarly");
                         });

// A pipe whose writer wrote half a file and stopped, its end still open: the
// reader, not willing to wait, gets a read error. The radar image needs a
// file it can measure.
TEST(Images, PipeWhoseWriterStopsDamagesTheImage)
{
    const CUpdateFolder AFolder;
    const auto PathFifo = AFolder.GetPath() / "fifo";
    ASSERT_EQ(::mkfifo(PathFifo.c_str(), 0600), 0);
    for (EKind eKind : kKinds) {
        SCOPED_TRACE(kKindNames[static_cast<int>(eKind)]);
        const FilePtr pFile(::fdopen(::open(PathFifo.c_str(), O_RDONLY | O_NONBLOCK), "rb"));
        ASSERT_NE(pFile, nullptr);
        const int nWriter = ::open(PathFifo.c_str(), O_WRONLY);
        ASSERT_EQ(::write(nWriter, TestFile(eKind).data(), 5000), 5000);
        testing::internal::CaptureStdout();
        const SOutcome A = ReadImage(eKind, pFile.get());
        const std::string strTrace = testing::internal::GetCapturedStdout();
        ::close(nWriter);
        EXPECT_EQ(A.eState, ELoadState::Damaged);
        EXPECT_TRUE(A.Sizes.empty());
        const char* szTrace = eKind == EKind::Radar ? "size cannot be measured" : "read error";
        EXPECT_NE(strTrace.find(szTrace), std::string::npos) << strTrace;
    }
}

// A file past the bound is refused as damaged from its size alone: a sparse
// file that reads as zeros would otherwise load as a raw image.
TEST(Images, FileLargerThan256MiBIsRefusedBeforeItIsRead)
{
    const CUpdateFolder AFolder;
    const auto PathHuge = AFolder.GetPath() / "huge.bin";
    std::ofstream(PathHuge).close();
    std::filesystem::resize_file(PathHuge, kMaxImageSize + 1);
    for (EKind eKind : kKinds) {
        SCOPED_TRACE(kKindNames[static_cast<int>(eKind)]);
        testing::internal::CaptureStdout();
        const SOutcome A = ReadImage(eKind, PathHuge, AFolder.Write("good.bin", TestFile(eKind)));
        const std::string strTrace = testing::internal::GetCapturedStdout();
        EXPECT_EQ(A.nResult, 0);
        EXPECT_EQ(A.eState, ELoadState::Damaged);
        EXPECT_TRUE(A.Sizes.empty());
        EXPECT_EQ(A.uFileSize, 0u);
        EXPECT_NE(strTrace.find("file larger than 256 MiB"), std::string::npos) << strTrace;
    }
}

} // namespace

// The private folder on POSIX: mode 0700 from the start, gone with what it
// holds. (Windows' access list is not checked: Wine, where the Windows tests
// run, keeps none given to a new folder.)
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "PrivateFolder.h"
#include "TestBytes.h"

TEST(PrivateFolder, IsTheUsersAloneAndGoesWithAllItHolds)
{
    const CUpdateFolder AParent;
    std::filesystem::path Made;
    {
        const CPrivateFolder AFolder(AParent.GetPath());
        Made = AFolder.GetPath();
        ASSERT_EQ(Made.parent_path(), AParent.GetPath());
        EXPECT_EQ(std::filesystem::status(Made).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
        std::filesystem::create_directory(Made / "inner");
        std::ofstream(Made / "inner" / "flagdata.bin") << "x";
    }
    EXPECT_FALSE(std::filesystem::exists(Made));
    EXPECT_TRUE(CPrivateFolder(AParent.GetPath() / "missing").GetPath().empty());
}

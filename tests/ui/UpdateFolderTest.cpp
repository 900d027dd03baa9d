// Where the program finds its skins and its update folder, and what it does
// when it finds no skin it can load.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>

#include "Program.h"
#include "ProgramFolders.h"
#include "TextCodec.h"
#include "UiTestKit.h"

namespace fs = std::filesystem;

namespace {

QString Shown(const fs::path& Path) { return QString::fromStdWString(PathToWide(Path)); }

} // namespace

TEST(ProgramFolders, SkinsBesideTheProgramElseInstalledAndTheUpdateFolderAtStart)
{
    const CUpdateFolder ARoot;
    const fs::path Bin = ARoot.GetPath() / "prefix" / "bin";
    const fs::path Shared = ARoot.GetPath() / "prefix" / "share" / "iap-tool" / "Skin";
    fs::create_directories(Bin);

    const CProgramFolders ANone = CProgramFolders::Find(Bin / "");
    EXPECT_FALSE(ANone.IsFound());
    EXPECT_EQ(ANone.GetSkinCandidates(), (std::vector<fs::path>{Bin / "Skin", Shared}));

    fs::create_directories(Shared);
    const CProgramFolders AInstalled = CProgramFolders::Find(Bin / "");
    EXPECT_EQ(AInstalled.GetSkinFolder(), Shared);
    EXPECT_TRUE(AInstalled.IsInstalled());

    fs::create_directories(Bin / "Skin");
    const CProgramFolders APortable = CProgramFolders::Find(Bin / "");
    EXPECT_EQ(APortable.GetSkinFolder(), Bin / "Skin") << "skins beside the program come first";
    EXPECT_FALSE(APortable.IsInstalled());

    const fs::path Chosen = ARoot.GetPath() / "Обновление 2026";
    fs::create_directory(Chosen);
    std::ofstream(Chosen / "AC7811_project.hex") << ":00000001FF\n";
    const fs::path Remembered = ARoot.GetPath() / "last";
    const struct {
        const CProgramFolders& AFolders;
        std::optional<fs::path> Argument, Remembered;
        fs::path Expected;
    } Rows[] = {
        {APortable, {}, Remembered, Bin},  // its own folder, whatever was chosen elsewhere
        {APortable, Chosen, {}, Chosen},
        {AInstalled, Chosen, Remembered, Chosen},
        {AInstalled, Chosen / "AC7811_project.hex", {}, Chosen},  // a file stands for its folder
        {AInstalled, {}, Remembered, Remembered},
        {AInstalled, {}, fs::path("relative"), {}},
        {AInstalled, {}, {}, {}},  // none: the window says so, nothing is read
    };
    for (const auto& ARow : Rows)
        EXPECT_EQ(ARow.AFolders.ChooseUpdateFolder(Bin / "", ARow.Argument, ARow.Remembered), ARow.Expected)
            << (ARow.Argument ? WideToUtf8(PathToWide(*ARow.Argument)) : "no argument") << ", installed "
            << ARow.AFolders.IsInstalled();
    EXPECT_EQ(AInstalled.ChooseUpdateFolder(Bin, fs::path("x"), {}), fs::current_path() / "x");
}

// A window that cannot be shown is said, in a message box that names the
// skin file and what is wrong with it, and the program ends with status 1.
TEST(Program, WithoutASkinItCanLoadItSaysWhyAndEndsWithStatusOne)
{
    const fs::path Working = fs::current_path();  // a portable program works in its own folder
    const CUpdateFolder ARoot;
    const fs::path Bin = ARoot.GetPath() / "bin";
    fs::create_directories(Bin);
    QStringList Messages;
    QTimer AWatch;
    QObject::connect(&AWatch, &QTimer::timeout, [&] {
        if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Messages << pBox->text();
            pBox->accept();
        }
    });
    AWatch.start(20);

    EXPECT_EQ(CProgram::Run({}, Bin / "iap-tool", nullptr), 1);
    ASSERT_EQ(Messages.size(), 1);
    EXPECT_TRUE(Messages[0].contains(Shown(Bin / "Skin")) &&
                Messages[0].contains(Shown(ARoot.GetPath() / "share" / "iap-tool" / "Skin")))
        << Messages[0].toStdString();

    fs::create_directories(Bin / "Skin");
    std::ofstream(Bin / "Skin" / "frame_Update.xml") << "<ui version=\"4.0\"><widget class=";
    EXPECT_EQ(CProgram::Run({}, Bin / "iap-tool", nullptr), 1);
    ASSERT_EQ(Messages.size(), 2);
    EXPECT_TRUE(Messages[1].contains(Shown(Bin / "Skin" / "frame_Update.xml")) &&
                Messages[1].contains(QString::fromUtf8("это не описание окна")))
        << Messages[1].toStdString();

    EXPECT_EQ(CProgram::Run({"one", "two"}, Bin / "iap-tool", nullptr), 64);
    EXPECT_EQ(Messages.size(), 2) << "a usage error is said on standard error only";
    fs::current_path(Working);
}

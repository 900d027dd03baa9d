// The program as a user starts it: one copy at a time, and from a folder
// named as its users name folders (POSIX: it spawns the program).
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ChildProcess.h"
#include "DeviceTestKit.h"
#include "FakeSysfs.h"
#include "MockLogind.h"
#include "SleepInhibitor.h"
#include "StageText.h"
#include "TestArchive.h"
#include "ProgramFolders.h"
#include "TextCodec.h"
#include "UiTestKit.h"
#include "VersionFile.h"

using namespace std::chrono_literals;

namespace {

// Acts on the next popup menu or modal dialog of type T while it is up:
// the window opens them in event loops of their own, and a file dialog that
// is still reading its folder may let the first acceptance pass. The poll
// goes with AOwner at the latest.
template <class T>
void WhenUp(QObject& AOwner, std::function<void(T*)> Act)
{
    auto* pTimer = new QTimer(&AOwner);
    auto pSeen = std::make_shared<bool>(false);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, pSeen, Act] {
        T* pUp = qobject_cast<T*>(QApplication::activePopupWidget());
        if (pUp == nullptr)
            pUp = qobject_cast<T*>(QApplication::activeModalWidget());
        if (pUp != nullptr) {
            *pSeen = true;
            Act(pUp);
        } else if (*pSeen) {
            pTimer->stop();
            pTimer->deleteLater();
        }
    });
    pTimer->start(50);
}

// «Папка…»'s menu, its nth item taken with the keyboard, then its dialog
// given Path.
void ChooseThroughFolderButton(CFrame_Update& AFrame, int nItem, const std::filesystem::path& Path)
{
    WhenUp<QMenu>(AFrame, [nItem](QMenu* pMenu) {
        pMenu->setActiveAction(pMenu->actions().at(nItem));
        QKeyEvent AEnter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(pMenu, &AEnter);
    });
    WhenUp<QFileDialog>(AFrame, [Path](QFileDialog* pDialog) {
        const QString strPath = QString::fromStdWString(PathToWide(Path));
        if (pDialog->fileMode() == QFileDialog::Directory)
            pDialog->setDirectory(strPath);  // went into it
        else if (auto* pName = pDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            pName->setText(strPath);  // typed in, as selectFile leaves a focused name alone
        QMetaObject::invokeMethod(pDialog, "accept", Qt::DirectConnection);  // as its own button does
    });
    Click(AFrame, "btn_folder");
}

// Drags Path over the window and lets it go, as a file manager does;
// whether the window took it. While it hovers the window must say that it
// takes it.
bool Drop(CFrame_Update& AFrame, const std::filesystem::path& Path)
{
    QMimeData AData;
    AData.setUrls({QUrl::fromLocalFile(QString::fromStdWString(PathToWide(Path)))});
    const QPoint APoint = AFrame.rect().center();
    QDragEnterEvent AEnter(APoint, Qt::CopyAction, &AData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&AFrame, &AEnter);
    const QLabel* pHint = AFrame.FindControl<QLabel>("lbl_drop");
    if (!AEnter.isAccepted()) {
        EXPECT_FALSE(pHint != nullptr && pHint->isVisible()) << "a hint for a drop that is not taken";
        return false;
    }
    EXPECT_TRUE(pHint != nullptr && pHint->isVisible()) << "no hint while a drop hovers";
    if (pHint == nullptr)
        return false;
    QDropEvent ADrop(QPointF(APoint), Qt::CopyAction, &AData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&AFrame, &ADrop);
    EXPECT_FALSE(pHint->isVisible());
    return ADrop.isAccepted();
}

QString Shown(const std::filesystem::path& Path) { return QString::fromStdWString(PathToWide(Path)); }

} // namespace

TEST(Program, ASecondCopyEndsAtOnceWithExitCodeZero)
{
    CTempPortDir APorts;
    CUpdateFolder ARuntime;
    ::chmod(ARuntime.GetPath().c_str(), 0700);
    const std::vector<std::string> Env = {"XDG_RUNTIME_DIR=" + ARuntime.GetPath().string(), "QT_QPA_PLATFORM=offscreen"};
    CChildProcess AFirst({IAP_TOOL_PATH}, Env);
    const std::filesystem::path ALock = ARuntime.GetPath() / "{5A7136DF-3CE5-4278-931A-96E9F480A93B}}.lock";
    ASSERT_TRUE(PollUntil([&] { return std::filesystem::exists(ALock); })) << "the first copy holds the lock";

    CChildProcess ASecond({IAP_TOOL_PATH}, Env);
    EXPECT_EQ(ASecond.WaitExit(20s), 0);
    EXPECT_EQ(AFirst.WaitExit(200ms), -1) << "the first copy runs on, untouched";
    EXPECT_FALSE(AFirst.HasEnded());
}

// The program in a folder as its users name folders: it finds its skins,
// its update files and the device from there.
TEST(Program, RunsFromAFolderWithSpacesAndCyrillicLetters)
{
    CTempPortDir APorts;
    CUpdateFolder ARoot;
    const std::string strName = "Программа обновления (копия)";
    const std::filesystem::path Folder = ARoot.GetPath() / std::filesystem::path(std::u8string(strName.begin(), strName.end()));
    std::filesystem::create_directory(Folder);
    std::filesystem::copy_file(IAP_TOOL_PATH, Folder / "iap-tool");
    std::filesystem::copy(GetSkinFolder(), Folder / "Skin", std::filesystem::copy_options::recursive);
    const std::string strHex = MakeHex(0x08000000, RandomBytes(64, 30), "0102");
    std::ofstream(Folder / "AC7811_project.hex", std::ios::binary) << strHex;
    const auto pDevice = StartDevice(APorts.GetPath(), 3);

    // The trace unbuffered, so that it can be read while the program runs.
    // stdbuf preloads its own library ahead of everything; an ASan build of
    // the program would refuse to start behind it without the option.
    CChildProcess ATool({"/usr/bin/stdbuf", "-o0", (Folder / "iap-tool").string()},
                        {"XDG_RUNTIME_DIR=" + ARoot.GetPath().string(), "QT_QPA_PLATFORM=offscreen",
                         "ASAN_OPTIONS=verify_asan_link_order=0"});
    // Connected (the menu read), and the firmware file read from the folder.
    EXPECT_TRUE(pDevice->WaitForFrames(4, 20s));
    EXPECT_TRUE(ATool.WaitOutput("GetHexVer == 0102", 20s)) << ATool.GetOutput().substr(0, 2000);
    EXPECT_EQ(ATool.GetOutput().find("cannot be opened"), std::string::npos) << "a skin was not found";
    EXPECT_FALSE(ATool.HasEnded()) << "the program ended";
}

// Without a folder nothing is read, not even from the working folder, and
// the device menu can still be written. Then the driver chooses a folder:
// the versions shown, the files and the next update follow at once, and an
// installed program keeps the folder for its next start.
TEST(Program, TheUpdateFolderIsWhatTheWindowShowsAndTheUpdateSends)
{
    CTempPortDir APorts;
    CUpdateFolder AWorking, AChosen;
    AWorking.Write("flagdata.bin", RandomBytes(5000, 1));
    AChosen.Write("ver.txt", "RD-2\r\n0201\r\n0004\r\n2b3c\r\n");
    const CBytes Sound = RandomBytes(9000, 2);
    AChosen.Write("audioHead.bin", Sound);
    const std::filesystem::path Before = std::filesystem::current_path();
    std::filesystem::current_path(AWorking.GetPath());
    const auto pDevice = StartDevice(APorts.GetPath(), 3);
    QStandardPaths::setTestModeEnabled(true);  // the remembered folder goes to a test location

    CUiProgram AProgram(AWorking.GetPath());
    AProgram.AData.pSource.reset();
    AProgram.AData.bRememberFolder = true;
    ASSERT_TRUE(AProgram.Open());
    ASSERT_TRUE(AProgram.WaitReady());
    CFrame_Update& AFrame = *AProgram.pFrame;
    EXPECT_EQ(TextOf(AFrame, "lbl_folder"), QString::fromUtf8("Папка не выбрана"));
    EXPECT_TRUE(TextOf(AFrame, "lbl_status").contains(QString::fromUtf8("Выберите папку с файлами обновления")));
    AProgram.AData.aSharedSettings[26] ^= 1;  // the driver changed one choice
    Click(AFrame, "btn_update");
    ASSERT_TRUE(WaitUntil([&] { return !AFrame.IsUpdating(); }));
    std::filesystem::current_path(Before);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!"));
    EXPECT_EQ(pDevice->GetSettings(), CBytes(AProgram.AData.aSharedSettings.begin(), AProgram.AData.aSharedSettings.end()));

    // Through the button's menu and the folder chooser, as the driver does it.
    ChooseThroughFolderButton(AFrame, 0, AChosen.GetPath());
    EXPECT_EQ(AFrame.FindControl<QLabel>("lbl_folder")->toolTip().toStdWString(), PathToWide(AChosen.GetPath()));
    EXPECT_EQ(TextOf(AFrame, "lbl_device_type"), "RD-2");
    EXPECT_EQ(TextOf(AFrame, "lbl_file_firmwareversion"), "0201");
    EXPECT_EQ(CProgramFolders::RecallUpdateFolder(), AChosen.GetPath());
    Click(AFrame, "btn_update");
    ASSERT_TRUE(WaitUntil([&] { return !AFrame.IsUpdating(); }));
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!"));
    EXPECT_EQ(pDevice->GetImage(0x31), Sound);
    EXPECT_TRUE(pDevice->GetImage(0x21).empty()) << "the working folder's camera database was sent";
}

// Notifications as the worker sends them, sent by hand to a window whose
// device answers its connection but never an update's start, so that an
// update stays running as long as the test needs.
TEST(Program, NotificationsDriveStatusBarAndButtons)
{
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    AFiles.Write("ver.txt", "RD-1\r\n0102\r\n0003\r\n1a2b\r\n");
    CSimOptions AQuiet;
    AQuiet.nStopAfter = 4;  // the probe, 0x45, 0x47 and 0x49
    const auto pDevice = StartDevice(APorts.GetPath(), 3, AQuiet);
    CWorkSettings ASettings = CEngine::Fast();
    ASettings.dwStallTimeout = 600000;
    CUiProgram AProgram(AFiles.GetPath(), ASettings);
    ASSERT_TRUE(AProgram.Open());
    AProgram.pFrame->ChangeUpdateFolder(AFiles.GetPath());  // reads the folder's ver.txt again
    const CFrame_Update& AFrame = *AProgram.pFrame;
    auto Send = [&](std::uint32_t uMsg, std::uintptr_t w = 0, std::intptr_t l = 0) {
        AProgram.pFrame->HandleMessage(uMsg, w, l);
    };

    EXPECT_EQ(TextOf(AFrame, "lbl_device_type"), "RD-1");
    EXPECT_EQ(TextOf(AFrame, "lbl_file_radarversion"), "1a2b");
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update")) << "the skin creates it disabled";
    EXPECT_FALSE(IsEnabled(AFrame, "btn_settings"));
    EXPECT_TRUE(TextOf(AFrame, "lbl_status").startsWith(QString::fromUtf8("Поиск устройства")));

    // Nothing to send at all: said plainly, and the window is usable again.
    ASSERT_TRUE(AProgram.WaitReady());
    ASSERT_TRUE(IsEnabled(AFrame, "btn_update"));
    Click(AFrame, "btn_update");
    EXPECT_TRUE(TextOf(AFrame, "lbl_status").startsWith(QString::fromUtf8("Нечего обновлять")));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_update"));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_cancel"));
    EXPECT_FALSE(AFrame.IsUpdating());

    // An update runs (a changed menu is there to send): late answers of the
    // device enable nothing.
    AProgram.AData.aSharedSettings[3] ^= 0x01;  // a changed menu: the start 0x4A goes, unanswered
    Click(AFrame, "btn_update");
    ASSERT_TRUE(AFrame.IsUpdating());
    Send(WM_SETTINGS_READ);
    Send(WM_DEVICE_READY);
    EXPECT_FALSE(IsEnabled(AFrame, "btn_settings"));
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update"));
    Send(WM_STAGE_START, 2, 100);
    EXPECT_EQ(BarOf(AFrame), 0);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromStdWString(GetStageText(2, EStageText::Running, ELanguage::Russian)));
    Send(WM_PROGRESS, 3, 2);
    EXPECT_EQ(TextOf(AFrame, "lbl_progress"), "66%");
    Send(WM_PROGRESS, 0, 7);
    EXPECT_EQ(BarOf(AFrame), 66) << "a total of 0 leaves the bar as it is";
    EXPECT_EQ(TextOf(AFrame, "lbl_progress"), "66%");
    Send(WM_STAGE_RESULT, 2, 1);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Не удалось обновить базу камер!"));
    EXPECT_EQ(BarOf(AFrame), 66) << "a failed stage shows how far it got";
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update")) << "only the whole update's result enables the buttons";
    EXPECT_FALSE(IsEnabled(AFrame, "btn_cancel"));
    Send(WM_PROGRESS, 3, 3);
    EXPECT_EQ(BarOf(AFrame), 66) << "a progress after its stage's result changes nothing";
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Не удалось обновить базу камер!"));
    Send(WM_STAGE_START, 3, 3);
    Send(WM_PROGRESS, 3, 3);
    EXPECT_EQ(BarOf(AFrame), 100);
    Send(WM_STAGE_RESULT, 3, 1);
    EXPECT_EQ(BarOf(AFrame), 99) << "every block answered, yet failed: never a full bar";
    Send(WM_STAGE_RESULT, 5, 1);
    EXPECT_EQ(BarOf(AFrame), 0) << "the menu stage failed before it began";
    Send(WM_STAGE_START, 6, 0);
    EXPECT_EQ(BarOf(AFrame), 100);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), "");
    Send(WM_STAGE_RESULT, 6, 0);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!"));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_update"));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_settings"));
    EXPECT_TRUE(IsEnabled(AFrame, "btn_cancel"));
    Send(WM_PROGRESS, 1, 1);
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!")) << "nothing wipes the result";

    // Unplugged: said so, with the last result below (found again, the
    // fault matrix's replug rows show the clean slate).
    AProgram.pFrame->FindControl<QLabel>("lbl_device_firmwareversion")->setText("0102");
    Send(WM_DEVICE_LOST);
    EXPECT_FALSE(IsEnabled(AFrame, "btn_update"));
    EXPECT_EQ(TextOf(AFrame, "lbl_device_firmwareversion"), "");
    EXPECT_EQ(TextOf(AFrame, "lbl_detail"), QString::fromUtf8("Последнее обновление: Успешно обновлено!"));
}

// After a successful update the device is asked again what it is: the
// result stays on screen, the device column shows what it now reports, and
// one line under the result says when that is not the firmware written or
// when the device no longer answers.
TEST(Program, AfterTheUpdateTheWindowShowsTheDeviceAsItNowIs)
{
    const struct {
        const char* szName;
        std::function<void(CSimOptions&)> Options;
        const char* szFirmwareShown;
        const char* szDetail;
    } Rows[] = {
        {"reports the firmware written", [](CSimOptions&) {}, "0102", ""},
        {"reports another firmware", [](CSimOptions& A) { A.FirmwareVersionAfter = 0x0101; }, "0101",
         "После обновления устройство сообщает версию ПО 0101, а записана 0102."},
        // The probe and the connection's request are answered, nothing after.
        {"answers no more", [](CSimOptions& A) { A.nStopAfter = 2, A.nStopCommand = 0x45; }, "",
         "Устройство не сообщило свои версии после обновления."},
    };
    for (const auto& ARow : Rows) {
        SCOPED_TRACE(ARow.szName);
        CTempPortDir APorts;
        CUpdateFolder AFiles;
        AFiles.Write("AC7811_project.hex", MakeHex(0x08000000, RandomBytes(256, 4), "0102"));
        CSimOptions AOptions;
        AOptions.uFirmwareVersion = 0x007b;
        ARow.Options(AOptions);
        const auto pDevice = StartDevice(APorts.GetPath(), 3, AOptions);
        CUiProgram AProgram(AFiles.GetPath());
        ASSERT_TRUE(AProgram.Open());
        ASSERT_TRUE(AProgram.WaitReady());
        CFrame_Update& AFrame = *AProgram.pFrame;
        EXPECT_EQ(TextOf(AFrame, "lbl_device_firmwareversion"), "007b");
        Click(AFrame, "btn_update");
        ASSERT_TRUE(WaitUntil([&] { return !AFrame.IsUpdating(); }));
        EXPECT_TRUE(WaitUntil([&] { return TextOf(AFrame, "lbl_device_firmwareversion") != "007b"; }, 10s));
        EXPECT_EQ(TextOf(AFrame, "lbl_device_firmwareversion"), QString::fromUtf8(ARow.szFirmwareShown));
        EXPECT_EQ(TextOf(AFrame, "lbl_detail"), QString::fromUtf8(ARow.szDetail));
        EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!")) << "the result stays";
        EXPECT_EQ(BarOf(AFrame), 100);
        EXPECT_TRUE(IsEnabled(AFrame, "btn_update"));
    }
}

// The window's search that finds nothing names the adapter whose driver is
// missing (Linux: its sysfs tree).
using FrameUpdateSearch = CWindowTest;

TEST_F(FrameUpdateSearch, NamesTheAdapterWithoutADriver)
{
    const CFakeSysfs ASysfs;
    ASysfs.AddDevice("1-1", "1a86:7523", "USB Serial");
    const QString strSays = QString::fromUtf8("Адаптер CH340/CH341 (1a86:7523, USB Serial) подключён, но драйвера для "
                                              "него нет: модуль ядра ch341 не загружен.");
    EXPECT_TRUE(WaitUntil([&] { return TextOf(Frame(), "lbl_detail").contains(strSays); }, 10s))
        << TextOf(Frame(), "lbl_detail").toStdString();
    EXPECT_TRUE(Frame().FindControl("btn_report")->isVisible()) << "what the search met can go to support";
}

// While an update writes, the window keeps the computer awake (a mock
// logind lists its inhibitor) and shows the time left; once the update has
// failed, the inhibitor is gone and the report is offered.
TEST(Program, KeepsTheComputerAwakeWhileWritingThenOffersTheReport)
{
    const CMockLogind ALogind;
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    AFiles.Write("flagdata.bin", RandomBytes(9000, 6));
    CSimOptions AStops;
    AStops.nStopAfter = 6;  // the first block answered, nothing after
    const auto pDevice = StartDevice(APorts.GetPath(), 3, AStops);
    CUiProgram AProgram(AFiles.GetPath());
    ASSERT_TRUE(AProgram.Open());
    ASSERT_TRUE(AProgram.WaitReady());
    CFrame_Update& AFrame = *AProgram.pFrame;
    QWidget* pReport = AFrame.FindControl("btn_report");
    EXPECT_FALSE(pReport->isVisible());
    Click(AFrame, "btn_update");
    ASSERT_TRUE(WaitUntil([&] { return pDevice->GetCounters().nFramesReceived >= 7; }, 10s));
    EXPECT_EQ(ALogind.ListInhibitors(),
              (std::vector<CInhibitorEntry>{{"sleep:idle", "IAP Tool", "Идёт обновление устройства: сон прервал бы запись", "block"}}));
    EXPECT_TRUE(WaitUntil([&] { return TextOf(AFrame, "lbl_left").startsWith(QString::fromUtf8("Осталось около ")); }));
    ASSERT_TRUE(WaitUntil([&] { return !AFrame.IsUpdating(); }));
    EXPECT_EQ(ALogind.ListInhibitors(), std::vector<CInhibitorEntry>{});
    EXPECT_EQ(TextOf(AFrame, "lbl_left"), QString());
    EXPECT_TRUE(pReport->isVisible());
    EXPECT_EQ(pReport->accessibleName(), QString::fromUtf8("Сохранить отчёт…"));

    // The report, saved where the driver chooses, proposed in the documents
    // folder under a name with the date and time.
    const std::filesystem::path Saved = AFiles.GetPath() / "saved.txt";
    QTimer::singleShot(0, [&] {
        auto* pDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(pDialog, nullptr) << "no save dialog";
        const QString strProposed = pDialog->selectedFiles().value(0);
        const QString strDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        EXPECT_EQ(QFileInfo(strProposed).absolutePath(), QDir(strDocuments).exists() ? strDocuments : QDir::homePath());
        EXPECT_TRUE(QRegularExpression(QStringLiteral("/iap-tool-report-\\d{8}-\\d{6}\\.txt$")).match(strProposed).hasMatch())
            << strProposed.toStdString();
        pDialog->selectFile(QString::fromStdWString(PathToWide(Saved)));
        QMetaObject::invokeMethod(pDialog, "accept", Qt::DirectConnection);
    });
    Click(AFrame, "btn_report");
    const std::string strReport = ReadWholeFile(Saved);
    for (const char* szLine : {"Отчёт IAP Tool", "Программа: Qt 6.", "ответов 1 из 3  Не удалось обновить базу камер!",
                               "Итог: Ошибка обновления!", "До обновления: ПО 0102, база 0003, радар 1a2b"})
        EXPECT_NE(strReport.find(szLine), std::string::npos) << szLine << "\n" << strReport;
}

// An update archive dropped on the window is read as its folder would be
// and updates the device; a folder dropped after it is taken too, and the
// archive's private folder goes. A damaged archive chosen through «Папка…»
// changes nothing but says which and why; a file that is neither is not
// taken.
TEST(Program, TakesAnArchiveOrAFolderDroppedOrChosenAndSaysWhyOneIsRefused)
{
    CTempPortDir APorts;
    CUpdateFolder AStart, ATop;
    AStart.Write("ver.txt", "RD-1\r\n0102\r\n0003\r\n1a2b\r\n");
    const CBytes Sound = RandomBytes(9000, 3);
    const std::filesystem::path Zip = ATop.GetPath() / "update 2026.zip";
    WriteArchive(Zip, "zip",
                 {{"Обновление/", "", CArchiveEntry::EKind::Folder},
                  {"Обновление/VER.TXT", "RD-3\r\n0301\r\n0005\r\n3c4d\r\n"},
                  {"Обновление/audioHead.bin", std::string(Sound.begin(), Sound.end())}});
    const std::filesystem::path Cut = ATop.GetPath() / "cut.zip";
    std::filesystem::copy_file(Zip, Cut);
    std::filesystem::resize_file(Cut, std::filesystem::file_size(Zip) / 2);
    const auto pDevice = StartDevice(APorts.GetPath(), 3);
    CUiProgram AProgram(AStart.GetPath());
    ASSERT_TRUE(AProgram.Open());
    ASSERT_TRUE(AProgram.WaitReady());
    CFrame_Update& AFrame = *AProgram.pFrame;
    const auto* pFolder = AFrame.FindControl<QLabel>("lbl_folder");

    ASSERT_TRUE(Drop(AFrame, Zip));
    EXPECT_EQ(pFolder->toolTip(), Shown(Zip));
    EXPECT_EQ(TextOf(AFrame, "lbl_device_type"), "RD-3");
    const std::filesystem::path Private = AProgram.AData.GetUpdateFolder();
    EXPECT_NE(Private.parent_path(), ATop.GetPath());
    Click(AFrame, "btn_update");
    ASSERT_TRUE(WaitUntil([&] { return !AFrame.IsUpdating(); }));
    EXPECT_EQ(TextOf(AFrame, "lbl_status"), QString::fromUtf8("Успешно обновлено!"));
    EXPECT_EQ(pDevice->GetImage(0x31), Sound);

    ASSERT_TRUE(Drop(AFrame, AStart.GetPath()));
    EXPECT_EQ(pFolder->toolTip(), Shown(AStart.GetPath()));
    EXPECT_EQ(TextOf(AFrame, "lbl_device_type"), "RD-1");
    EXPECT_FALSE(std::filesystem::exists(Private)) << "the archive's private folder stayed";

    ChooseThroughFolderButton(AFrame, 1, Cut);
    EXPECT_EQ(pFolder->toolTip(), Shown(AStart.GetPath()));
    EXPECT_EQ(TextOf(AFrame, "lbl_device_type"), "RD-1");
    const QString strDetail = TextOf(AFrame, "lbl_detail");
    EXPECT_TRUE(strDetail.contains(Shown(Cut)) && strDetail.contains(QString::fromUtf8("повреждён"))) << strDetail.toStdString();

    EXPECT_FALSE(Drop(AFrame, AStart.GetPath() / "ver.txt"));
    EXPECT_EQ(std::vector<std::filesystem::path>(std::filesystem::directory_iterator(ATop.GetPath()), {}).size(), 2u)
        << "something was written beside the archives";
}

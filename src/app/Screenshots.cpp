// iap-screenshots: drives the real windows through an update of the device
// on the configured ports and saves pictures of them for the documentation.
//   iap-screenshots <program folder with update files> <output folder> [--failure|--search] [--lang ru|en]
// With --failure the folder holds a damaged file, and the one picture taken
// is the window after the refused update. With --search no device can be
// used, and the one picture is the window once it says what the search met.
// The windows speak Russian, or the language --lang names (the translations
// beside the program).
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Frame_Set.h"
#include "Frame_Update.h"
#include "NotifyBridge.h"
#include "StageText.h"
#include "TextCodec.h"
#include "VersionFile.h"
#include "WindowLanguage.h"
#include "Work_BK.h"

namespace {

bool WaitUntil(const std::function<bool()>& Condition, int nSeconds)
{
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > tEnd)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void Settle() { WaitUntil([] { return false; }, 1); }

bool Save(QWidget& AWindow, const QString& strFolder, const char* szName)
{
    Settle();
    const QString strPath = strFolder + "/" + szName;
    const bool bSaved = AWindow.grab().save(strPath);
    std::printf("%s %s\n", bSaved ? "saved" : "FAILED to save", strPath.toUtf8().constData());
    return bSaved;
}

QString StatusOf(const WindowImplBase& AWindow)
{
    const auto* pLabel = AWindow.FindControl<QLabel>("lbl_status");
    return pLabel ? pLabel->text() : QString();
}

// The pictures of one mode; answers the program's exit status.
int ShootSearch(CFrame_Update& AFrame, const QString& strOut)
{
    const auto* pDetail = AFrame.FindControl<QLabel>("lbl_detail");
    return WaitUntil([&] { return pDetail && !pDetail->text().isEmpty(); }, 30) ? !Save(AFrame, strOut, "update-search.png")
                                                                                : 1;
}

int ShootFailure(CFrame_Update& AFrame, const QString& strOut)
{
    AFrame.FindControl<QPushButton>("btn_update")->click();
    return WaitUntil([&] { return !AFrame.IsUpdating(); }, 60) ? !Save(AFrame, strOut, "update-failed.png") : 1;
}

// The settings dialog, on both of its main pages, once it is open.
void ShootMenuWhenOpen(const QString& strOut, int& nResult)
{
    QTimer::singleShot(300, [&nResult, strOut] {
        for (QWidget* pTop : QApplication::topLevelWidgets())
            if (auto* pSet = qobject_cast<CFrame_Set*>(pTop); pSet && pSet->isVisible()) {
                nResult |= !Save(*pSet, strOut, "settings-general.png");
                pSet->FindControl<QPushButton>("option_main_2")->click();
                pSet->FindControl<QPushButton>("option_frame_1_3")->click();
                nResult |= !Save(*pSet, strOut, "settings-profiles.png");
                pSet->FindControl<QPushButton>("btn_cancel")->click();
            }
    });
}

int ShootUpdate(CFrame_Update& AFrame, const QString& strOut, ELanguage eLanguage)
{
    int nResult = !Save(AFrame, strOut, "update-idle.png");
    ShootMenuWhenOpen(strOut, nResult);
    AFrame.FindControl<QPushButton>("btn_settings")->click();
    AFrame.FindControl<QPushButton>("btn_update")->click();
    const auto* pBar = AFrame.FindControl<QProgressBar>("prog_step");
    const QString strEDog = QString::fromStdWString(GetStageText(2, EStageText::Running, eLanguage));
    if (!WaitUntil([&] { return StatusOf(AFrame) == strEDog && pBar->value() >= 40; }, 120))
        return 1;
    nResult |= !Save(AFrame, strOut, "update-running.png");
    // Finished, and the device read again.
    if (!WaitUntil([&] { return !AFrame.IsUpdating(); }, 300))
        return 1;
    return nResult | !Save(AFrame, strOut, "update-finished.png");
}

// A folder hovering over the window, then an archive that is refused.
int ShootDrop(CFrame_Update& AFrame, const QString& strOut, const std::filesystem::path& Folder,
              const std::filesystem::path& Archive)
{
    QMimeData AData;
    AData.setUrls({QUrl::fromLocalFile(QString::fromStdWString(PathToWide(Folder)))});
    QDragEnterEvent AEnter(AFrame.rect().center(), Qt::CopyAction, &AData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&AFrame, &AEnter);
    Settle();
    int nResult = !Save(AFrame, strOut, "update-drop.png");
    QDragLeaveEvent ALeave;
    QApplication::sendEvent(&AFrame, &ALeave);
    AFrame.ChangeUpdateFolder(Archive);
    Settle();
    return nResult | !Save(AFrame, strOut, "update-refused.png");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication AApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::vector<std::string> Args(argv + 1, argv + argc);
    const std::optional<ELanguage> Language = CCommandLine::FindLanguageOption(Args);
    if (const auto pLang = std::find(Args.begin(), Args.end(), "--lang"); pLang != Args.end() && pLang + 1 != Args.end())
        Args.erase(pLang, pLang + 2);
    const std::string strMode = Args.size() >= 3 ? Args[2] : "";
    if (Args.size() != 2 && !(Args.size() == 3 && (strMode == "--failure" || strMode == "--search")) &&
        !(Args.size() == 4 && strMode == "--drop")) {
        std::fprintf(stderr, "usage: iap-screenshots <program folder> <output folder> [--failure|--search|--drop "
                             "<refused archive>] [--lang ru|en]\n");
        return 64;
    }
    const QString strOut = QString::fromLocal8Bit(Args[1].c_str());
    CProgramData AData;
    CWindowLanguage AWindowLanguage;
    AData.eLanguage = AWindowLanguage.Install(Language.value_or(ELanguage::Russian),
                                              PathFromWide(QCoreApplication::applicationDirPath().toStdWString()) /
                                                  "translations");
    const std::filesystem::path Folder =
        std::filesystem::absolute(PathFromWide(QString::fromLocal8Bit(Args[0].c_str()).toStdWString()));
    AData.pSource = OpenUpdateSource(Folder);
    AData.APaint.SetInstance(Folder / "iap-tool");
    AData.APaint.SetResourcePath(PathFromWide(QCoreApplication::applicationDirPath().toStdWString()) / "Skin");
    AData.aVersionTexts = ReadVersionFile(Folder / "ver.txt");

    CNotifyBridge ABridge;
    CWork_BK AWork;
    CWorkSettings ASettings;
    ASettings.dwFirmwarePause = 1000;  // the pictures need no full restart pause
    AWork.SetWorkSettings(ASettings);
    int nResult = 0;
    {
        CFrame_Update AFrame(L"frame_Update.xml", AData, ABridge, AWork);
        const CBridgeTarget ATarget(ABridge, AFrame);
        if (!AFrame.Create(nullptr, QStringLiteral("IAP Tool")))
            return 1;
        const auto* pUpdate = AFrame.FindControl<QPushButton>("btn_update");
        const auto* pSettings = AFrame.FindControl<QPushButton>("btn_settings");
        if (strMode == "--search") {
            nResult = ShootSearch(AFrame, strOut);
        } else if (!WaitUntil([&] { return pUpdate->isEnabled() && pSettings->isEnabled(); }, 30)) {
            std::fprintf(stderr, "no device answered\n");
            nResult = 2;
        } else if (strMode == "--drop") {
            nResult = ShootDrop(AFrame, strOut, Folder, PathFromWide(QString::fromLocal8Bit(Args[3].c_str()).toStdWString()));
        } else {
            nResult = strMode == "--failure" ? ShootFailure(AFrame, strOut) : ShootUpdate(AFrame, strOut, AData.eLanguage);
        }
        std::printf("final status: %s\n", StatusOf(AFrame).toUtf8().constData());
        ABridge.Close();
        AWork.Reset();
        AWork.SetNotifyWnd(nullptr);
    }
    return nResult;
}

#include "Program.h"

#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <optional>

#include "Frame_Update.h"
#include "NotifyBridge.h"
#include "ProgramData.h"
#include "ProgramFolders.h"
#include "SingleInstance.h"
#include "TextCodec.h"
#include "TraceTap.h"
#include "UpdateReport.h"
#include "Version.h"
#include "VersionFile.h"
#include "Work_BK.h"

namespace {

// Shown to the user and written to standard error, for a start from a
// terminal.
int Refuse(const QString& strWhy)
{
    std::fprintf(stderr, "iap-tool: %s\n", strWhy.toUtf8().constData());
    WindowImplBase::ShowSkinError(nullptr, strWhy);
    return 1;
}

QString NoSkinsText(const CProgramFolders& AFolders)
{
    QString strText = QString::fromUtf8("Не найдено оформление окна (frame_Update.xml). Искали в папках:");
    for (const std::filesystem::path& Folder : AFolders.GetSkinCandidates())
        strText += QStringLiteral("\n") + QString::fromStdWString(PathToWide(Folder));
    return strText + QString::fromUtf8("\nУстановите программу заново.");
}

} // namespace

const char* CProgram::Usage()
{
    return "Usage: iap-tool [FOLDER]\n"
           "Updates the radar detector on the first COM port that answers, in a window.\n"
           "FOLDER holds the update files (AC7811_project.hex, flagdata.bin, audioHead.bin,\n"
           "rdfw.bin) and ver.txt; a file stands for its folder. Without it an installed\n"
           "program reads the folder chosen last time, and a program beside its Skin folder\n"
           "reads its own folder.\n"
           "  --help      this text\n"
           "  --version   the program's version\n";
}

void CProgram::SetIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("iap-tool"));
    QCoreApplication::setOrganizationName(QStringLiteral("iap-tool"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kIapVersion));
    // Without it a Wayland desktop shows no icon for the window.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kIapAppId));
}

int CProgram::Run(const QStringList& Args, const std::filesystem::path& ProgramFile, CSingleInstance* pInstance)
{
    if (Args.size() > 1 || (!Args.isEmpty() && Args.constFirst().startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "iap-tool: one folder at most, no options but --help and --version\n%s", Usage());
        return 64;
    }
    // The trace's last lines, for a report: kept from the start, so that the
    // search is in it too, and alive until every worker thread has ended.
    const CTraceTap ATrace(kReportTraceLines);
    CProgramData AData;
    AData.pTrace = &ATrace;
    AData.APaint.SetInstance(ProgramFile);
    const CProgramFolders AFolders = CProgramFolders::Find(AData.APaint.GetInstancePath());
    if (!AFolders.IsFound())
        return Refuse(NoSkinsText(AFolders));
    AData.APaint.SetResourcePath(AFolders.GetSkinFolder());
    AData.bRememberFolder = AFolders.IsInstalled();
    std::optional<std::filesystem::path> Argument;
    if (!Args.isEmpty())
        Argument = PathFromWide(Args.constFirst().toStdWString());
    AData.UpdateFolder = AFolders.ChooseUpdateFolder(
        AData.APaint.GetInstancePath(), Argument,
        AFolders.IsInstalled() ? CProgramFolders::RecallUpdateFolder() : std::nullopt);
    if (AData.bRememberFolder && Argument)
        CProgramFolders::RememberUpdateFolder(AData.UpdateFolder);
    // A portable program works in its own folder, as it always has; an
    // installed one never reads anything from beside itself.
    if (!AFolders.IsInstalled())
        CPaintManagerUI::SetCurrentPath(AData.APaint.GetInstancePath());
    if (!AData.UpdateFolder.empty())
        AData.aVersionTexts = ReadVersionFile(AData.UpdateFolder / "ver.txt");

    // Declared before the worker, so that it outlives every worker thread
    // that may still send a notification.
    CNotifyBridge ABridge;
    CWork_BK AWork;
    int nStatus = 0;
    {
        CFrame_Update AFrame(L"frame_Update.xml", AData, ABridge, AWork);
        const CBridgeTarget ATarget(ABridge, AFrame);
        if (AFrame.Create(nullptr, QStringLiteral("IAP Tool")))
            AFrame.ShowModal();
        else
            nStatus = Refuse(AFrame.GetSkinError());
        // The window is gone: a worker waiting for it to handle a
        // notification is released before the shutdown waits for it.
        ABridge.Close();
        AWork.Reset();
        AWork.SetNotifyWnd(nullptr);
        if (pInstance != nullptr)
            pInstance->Release();
    }
    return nStatus;
}

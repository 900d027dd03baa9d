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
#include "TextCatalog.h"
#include "TextCodec.h"
#include "TraceTap.h"
#include "UpdateReport.h"
#include "Version.h"
#include "VersionFile.h"
#include "WindowLanguage.h"
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
    QStringList Folders;
    for (const std::filesystem::path& Folder : AFolders.GetSkinCandidates())
        Folders << QString::fromStdWString(PathToWide(Folder));
    return QCoreApplication::translate(
               "CProgram", "Не найдено оформление окна (frame_Update.xml). Искали в папках:\n%1\nУстановите программу заново.")
        .arg(Folders.join(QLatin1Char('\n')));
}

// The arguments: --lang ru|en (or --lang=ru) and at most one folder; false
// for anything else.
bool ReadArguments(const QStringList& Args, std::optional<ELanguage>& Language,
                   std::optional<std::filesystem::path>& Argument)
{
    for (qsizetype n = 0; n < Args.size(); ++n) {
        QString strLanguage;
        if (Args[n] == QLatin1String("--lang") && n + 1 < Args.size())
            strLanguage = Args[++n];
        else if (Args[n].startsWith(QLatin1String("--lang=")))
            strLanguage = Args[n].mid(7);
        else if (Args[n].startsWith(QLatin1Char('-')) || Argument)
            return false;
        else
            Argument = PathFromWide(Args[n].toStdWString());
        if (!strLanguage.isNull() && !(Language = FindLanguage(strLanguage.toStdString())))
            return false;
    }
    return true;
}

} // namespace

std::string CProgram::Usage(ELanguage eLanguage)
{
    return std::string(GetText(eLanguage, "Использование: iap-tool [--lang ru|en] [ПАПКА]\n"
                                          "Обновляет радар-детектор на первом ответившем COM-порту, в окне.\n"
                                          "В ПАПКЕ лежат файлы обновления (AC7811_project.hex, flagdata.bin, audioHead.bin,\n"
                                          "rdfw.bin) и ver.txt; вместо папки можно дать архив обновления (.zip, .7z, .rar),\n"
                                          "другой файл означает свою папку. Без неё установленная программа\n"
                                          "читает папку, выбранную в прошлый раз, а программа рядом со своей папкой Skin, —\n"
                                          "свою папку.\n"
                                          "  --lang ru|en  язык окна (по умолчанию язык системы); запоминается\n"
                                          "                до следующего запуска\n"
                                          "  --help        этот текст\n"
                                          "  --version     версия программы\n"));
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
    std::optional<ELanguage> Given;
    std::optional<std::filesystem::path> Argument;
    if (!ReadArguments(Args, Given, Argument)) {
        const ELanguage eLanguage = Given.value_or(CWindowLanguage::Recall().value_or(GetSystemLanguage()));
        std::fprintf(stderr, "%s\n%s",
                     GetText(eLanguage, "iap-tool: не больше одной папки и никаких параметров, кроме --help, --version "
                                        "и --lang").data(),
                     Usage(eLanguage).c_str());
        return 64;
    }
    // The trace's last lines, for a report: kept from the start, so that the
    // search is in it too, and alive until every worker thread has ended.
    const CTraceTap ATrace(kReportTraceLines);
    CProgramData AData;
    AData.pTrace = &ATrace;
    AData.APaint.SetInstance(ProgramFile);
    const CProgramFolders AFolders = CProgramFolders::Find(AData.APaint.GetInstancePath());
    // The windows' language from the first text they show, the refusal
    // below included.
    CWindowLanguage ALanguage;
    AData.eLanguage = ALanguage.Install(CWindowLanguage::Choose(Given), AFolders.GetTranslationFolder());
    if (!AFolders.IsFound())
        return Refuse(NoSkinsText(AFolders));
    AData.APaint.SetResourcePath(AFolders.GetSkinFolder());
    AData.bRememberFolder = AFolders.IsInstalled();
    // An archive is unpacked here, before the window opens; one that is
    // refused is shown as refused, and the window reads no files.
    const std::filesystem::path Named = AFolders.ChooseUpdateFolder(
        AData.APaint.GetInstancePath(), Argument,
        AFolders.IsInstalled() ? CProgramFolders::RecallUpdateFolder() : std::nullopt);
    AData.pSource = OpenUpdateSource(Named);
    if (AData.bRememberFolder && Argument)
        CProgramFolders::RememberUpdateFolder(Named);
    // A portable program works in its own folder, as it always has; an
    // installed one never reads anything from beside itself.
    if (!AFolders.IsInstalled())
        CPaintManagerUI::SetCurrentPath(AData.APaint.GetInstancePath());
    if (const std::filesystem::path Folder = AData.GetUpdateFolder(); !Folder.empty())
        AData.aVersionTexts = ReadVersionFile(Folder / "ver.txt");

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

#include "Frame_Update.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QCursor>
#include <QUrl>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QStandardPaths>
#include <QLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <system_error>

#include "AdapterFinding.h"
#include "SearchText.h"
#include "Frame_Set.h"
#include "ProgramFolders.h"
#include "SystemInfo.h"
#include "TraceTap.h"
#include "StageText.h"
#include "TextCatalog.h"
#include "TextCodec.h"
#include "Tick.h"
#include "Version.h"
#include "VersionFile.h"

namespace {

// The window's own texts, in Russian, its own language; Text translates
// them into the window's (translations/iap-tool_*.ts, context CFrame_Update).
const char* const kFound = QT_TRANSLATE_NOOP("CFrame_Update", "Устройство подключено. Нажмите «Обновить», чтобы начать.");
const char* const kLost = QT_TRANSLATE_NOOP("CFrame_Update", "Устройство отключено. Поиск устройства...");
const char* const kLastResult = QT_TRANSLATE_NOOP("CFrame_Update", "Последнее обновление: %1");
const char* const kNothing =
    QT_TRANSLATE_NOOP("CFrame_Update", "Нечего обновлять: файлы обновления не найдены, меню не менялось.");
const char* const kFoundNoFolder = QT_TRANSLATE_NOOP(
    "CFrame_Update", "Устройство подключено. Выберите папку с файлами обновления («Папка…») или измените меню устройства.");
const char* const kNoFolder = QT_TRANSLATE_NOOP("CFrame_Update", "Папка не выбрана");
const char* const kNoSuchFolder = QT_TRANSLATE_NOOP("CFrame_Update", " (такой папки нет)");
const char* const kArchiveRefused = QT_TRANSLATE_NOOP("CFrame_Update", " (архив не принят)");
const char* const kChooseFolder = QT_TRANSLATE_NOOP("CFrame_Update", "Папка с файлами обновления");
const char* const kChooseArchive = QT_TRANSLATE_NOOP("CFrame_Update", "Архив обновления");
const char* const kArchiveFilter = QT_TRANSLATE_NOOP("CFrame_Update", "Архивы обновления (*.zip *.7z *.rar)");
const char* const kMenuFolder = QT_TRANSLATE_NOOP("CFrame_Update", "Папка с файлами обновления…");
const char* const kMenuArchive = QT_TRANSLATE_NOOP("CFrame_Update", "Архив обновления (.zip, .7z, .rar)…");
const char* const kDropHint =
    QT_TRANSLATE_NOOP("CFrame_Update", "Отпустите здесь папку с файлами обновления или архив обновления");

QString Text(const char* szRussian) { return QCoreApplication::translate("CFrame_Update", szRussian); }

// The worker joins the file names to the folder as text: with its
// separator; none chosen stays empty.
std::wstring FolderForWorker(const std::filesystem::path& Folder)
{
    return Folder.empty() ? std::wstring() : PathToWide(Folder / "");
}

QString StageText(std::int32_t nStage, EStageText eText, ELanguage eLanguage)
{
    return QString::fromStdWString(GetStageText(nStage, eText, eLanguage));
}

} // namespace

CFrame_Update::CFrame_Update(std::wstring strSkinFile, CProgramData& AData, CNotifyWindow& ANotify, CWork_BK& AWork)
    : WindowImplBase(AData, &ANotify), m_strSkinFile(std::move(strSkinFile)), m_Work(AWork)
{
}

QString CFrame_Update::FormatElapsed(std::uint32_t dwElapsedMs, ELanguage eLanguage)
{
    return QString::fromStdWString(::FormatElapsed(dwElapsedMs, eLanguage));
}

bool CFrame_Update::CalcProgress(std::uint32_t dwTotal, std::uint32_t dwDone, int& nBar, QString& strPercent)
{
    if (dwTotal == 0)
        return false;
    const std::uint32_t dwPercent = dwDone * 100 / dwTotal;
    nBar = static_cast<int>(std::max<std::uint32_t>(dwPercent, 6));
    strPercent = QString::asprintf("%d%%", static_cast<int>(dwPercent));
    return true;
}

void CFrame_Update::InitWindow()
{
    ShowDeviceVersions(false);
    ShowFileVersions();
    if (auto* pFolder = FindControl<QLabel>("lbl_folder"))
        pFolder->installEventFilter(this);
    // A folder or an archive dropped on the window is taken as «Папка…»
    // takes it; while one hovers, the window says so over its whole face.
    setAcceptDrops(true);
    m_pDropHint = new QLabel(Text(kDropHint), GetRoot() != nullptr ? GetRoot() : this);
    m_pDropHint->setObjectName(QStringLiteral("lbl_drop"));
    m_pDropHint->setAlignment(Qt::AlignCenter);
    m_pDropHint->setWordWrap(true);
    m_pDropHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pDropHint->setStyleSheet(QStringLiteral("QLabel#lbl_drop { background: rgba(255, 255, 255, 225); color: #1a4f8b;"
                                              " border: 3px dashed #1a4f8b; border-radius: 8px; font-size: 16px;"
                                              " font-weight: bold; padding: 24px; }"));
    m_pDropHint->hide();
    // An archive given at start that was refused: say which and why.
    if (m_Data.pSource && m_Data.pSource->GetRefusal() != CUpdateSource::ERefusal::None)
        m_strRefusal = QString::fromStdString(m_Data.pSource->DescribeRefusal(m_Data.eLanguage));
    SetText("lbl_detail", m_strRefusal);
    ShowFolder();
    SetText("lbl_app_version", QStringLiteral("IAP Tool %1").arg(QString::fromLatin1(kIapVersion)));
    m_Work.SetNotifyWnd(GetHWND());
    m_Work.StartWork(kSearchPortBound, kLineBaud, FolderForWorker(m_Data.GetUpdateFolder()));
    SetIcon(108);
    CenterWindow();
    // Until «Обновить» can be pressed the window itself holds the focus, so
    // that no caption button shows a focus frame; Tab goes to the buttons.
    setFocus(Qt::OtherFocusReason);
    // Until a device answers, the status line says what the tool is doing,
    // and why, when it found a port it may not open.
    SetTimer(kTimerSearch, 500);
}

void CFrame_Update::ShowFileVersions()
{
    SetText("lbl_device_type", m_Data.aVersionTexts[0]);
    SetText("lbl_file_firmwareversion", m_Data.aVersionTexts[1]);
    SetText("lbl_file_dataversion", m_Data.aVersionTexts[2]);
    SetText("lbl_file_radarversion", m_Data.aVersionTexts[3]);
}

void CFrame_Update::ShowFolder()
{
    auto* pLabel = FindControl<QLabel>("lbl_folder");
    if (pLabel == nullptr)
        return;
    if (!m_Data.pSource) {
        pLabel->setText(Text(kNoFolder));
        pLabel->setToolTip(QString());
        return;
    }
    // The folder or the archive as the driver named it, never the private
    // folder an archive is unpacked into.
    const std::filesystem::path& Given = m_Data.pSource->GetGiven();
    const QString strFolder = QString::fromStdWString(PathToWide(Given));
    std::error_code AError;
    QString strMissing;
    if (m_Data.pSource->GetRefusal() != CUpdateSource::ERefusal::None)
        strMissing = Text(kArchiveRefused);
    else if (!CUpdateSource::IsArchive(Given) && !std::filesystem::is_directory(Given, AError))
        strMissing = Text(kNoSuchFolder);
    // A long path keeps its start and its end, the parts a driver recognises.
    const int nWidth = std::max(pLabel->contentsRect().width(), 100);
    const QString strShown = pLabel->fontMetrics().elidedText(strFolder, Qt::ElideMiddle,
                                                              nWidth - pLabel->fontMetrics().horizontalAdvance(strMissing));
    pLabel->setText(strShown + strMissing);
    pLabel->setToolTip(strFolder);
}

bool CFrame_Update::eventFilter(QObject* pObject, QEvent* pEvent)
{
    // The folder's path is shortened to the width its label has.
    if (pEvent->type() == QEvent::Resize && pObject == FindControl<QLabel>("lbl_folder"))
        ShowFolder();
    return WindowImplBase::eventFilter(pObject, pEvent);
}

bool CFrame_Update::ChangeUpdateFolder(const std::filesystem::path& Given)
{
    if (m_bUpdating)
        return false;
    std::unique_ptr<CUpdateSource> pSource = OpenUpdateSource(Given);
    if (pSource && pSource->GetRefusal() != CUpdateSource::ERefusal::None) {
        // The files read so far stay; the driver learns which archive was
        // refused and why.
        m_strRefusal = QString::fromStdString(pSource->DescribeRefusal(m_Data.eLanguage));
        SetText("lbl_detail", m_strRefusal);
        GrowToFit();
        return false;
    }
    const std::filesystem::path Folder = pSource ? pSource->GetFolder() : std::filesystem::path();
    if (!m_Work.SetUpdateFolder(FolderForWorker(Folder)))
        return false;
    // The worker reads the new folder from now on: an archive's private
    // folder read before may go.
    m_Data.pSource = std::move(pSource);
    m_strRefusal.clear();
    m_Data.aVersionTexts = Folder.empty() ? std::array<std::wstring, 4>{} : ReadVersionFile(Folder / "ver.txt");
    if (m_Data.bRememberFolder && !Given.empty())
        CProgramFolders::RememberUpdateFolder(Given);
    ShowFileVersions();
    ShowFolder();
    SetText("lbl_detail", QString());
    if (m_bDeviceReady)
        ShowReady();
    return true;
}

void CFrame_Update::OnFolderClick()
{
    // A folder and a file cannot be chosen in one of the platform's
    // dialogs: the button asks which, under itself, then opens the dialog
    // for it.
    QMenu AMenu(this);
    AMenu.setObjectName(QStringLiteral("menu_folder"));
    const QAction* pFolder = AMenu.addAction(Text(kMenuFolder));
    const QAction* pArchive = AMenu.addAction(Text(kMenuArchive));
    const QWidget* pButton = FindControl("btn_folder");
    const QPoint APlace = pButton != nullptr ? pButton->mapToGlobal(QPoint(0, pButton->height())) : QCursor::pos();
    const QAction* pChosen = AMenu.exec(APlace);
    if (pChosen != pFolder && pChosen != pArchive)
        return;
    const bool bArchive = pChosen == pArchive;
    QFileDialog ADialog(this, Text(bArchive ? kChooseArchive : kChooseFolder));
    if (bArchive) {
        ADialog.setFileMode(QFileDialog::ExistingFile);
        ADialog.setNameFilter(Text(kArchiveFilter));
    } else {
        ADialog.setFileMode(QFileDialog::Directory);
        ADialog.setOption(QFileDialog::ShowDirsOnly);
    }
    // Where the files were read from last: an archive's folder, or the folder.
    std::filesystem::path Start;
    if (m_Data.pSource)
        Start = CUpdateSource::IsArchive(m_Data.pSource->GetGiven()) ? m_Data.pSource->GetGiven().parent_path()
                                                                     : m_Data.pSource->GetGiven();
    ADialog.setDirectory(Start.empty() ? QDir::homePath() : QString::fromStdWString(PathToWide(Start)));
    if (ADialog.exec() != QDialog::Accepted || ADialog.selectedFiles().isEmpty())
        return;
    ChangeUpdateFolder(PathFromWide(ADialog.selectedFiles().constFirst().toStdWString()));
}

std::optional<std::filesystem::path> CFrame_Update::TakesDrop(const QMimeData* pData) const
{
    // One folder or one update archive, and only when «Папка…» could be
    // pressed.
    if (m_bUpdating || pData == nullptr || !pData->hasUrls() || pData->urls().size() != 1 ||
        !pData->urls().constFirst().isLocalFile())
        return std::nullopt;
    const std::filesystem::path Dropped = PathFromWide(pData->urls().constFirst().toLocalFile().toStdWString());
    std::error_code AError;
    if (std::filesystem::is_directory(Dropped, AError) ||
        (std::filesystem::is_regular_file(Dropped, AError) && CUpdateSource::IsArchive(Dropped)))
        return Dropped;
    return std::nullopt;
}

void CFrame_Update::dragEnterEvent(QDragEnterEvent* pEvent)
{
    if (!TakesDrop(pEvent->mimeData())) {
        pEvent->ignore();
        return;
    }
    pEvent->acceptProposedAction();
    m_pDropHint->setGeometry(m_pDropHint->parentWidget()->rect().adjusted(8, 8, -8, -8));
    m_pDropHint->raise();
    m_pDropHint->show();
}

void CFrame_Update::dragLeaveEvent(QDragLeaveEvent* pEvent)
{
    m_pDropHint->hide();
    WindowImplBase::dragLeaveEvent(pEvent);
}

void CFrame_Update::dropEvent(QDropEvent* pEvent)
{
    m_pDropHint->hide();
    const std::optional<std::filesystem::path> Dropped = TakesDrop(pEvent->mimeData());
    if (!Dropped) {
        pEvent->ignore();
        return;
    }
    pEvent->acceptProposedAction();
    ChangeUpdateFolder(*Dropped);
}

void CFrame_Update::ShowDeviceVersions(bool bShow)
{
    std::wstring strFirmware, strData, strRadar;
    if (bShow)
        m_Work.GetDeviceVersions(strFirmware, strData, strRadar);
    SetText("lbl_device_firmwareversion", strFirmware);
    SetText("lbl_device_dataversion", strData);
    SetText("lbl_device_radarversion", strRadar);
}

void CFrame_Update::SetText(const char* szName, const QString& strText)
{
    if (auto* pLabel = FindControl<QLabel>(szName))
        pLabel->setText(strText);
    else if (auto* pButton = FindControl<QPushButton>(szName))
        pButton->setText(strText);
}

void CFrame_Update::SetEnabled(const char* szName, bool bEnable)
{
    if (QWidget* pControl = FindControl(szName))
        pControl->setEnabled(bEnable);
}

void CFrame_Update::SetProgress(int nValue)
{
    if (auto* pBar = FindControl<QProgressBar>("prog_step"))
        pBar->setValue(nValue);
}

void CFrame_Update::EnableButtons(bool bEnable)
{
    // An update needs a device, the menu dialog a menu the device reported.
    SetEnabled("btn_update", bEnable && m_bDeviceReady);
    SetEnabled("btn_settings", bEnable && m_bMenuRead);
    SetEnabled("btn_cancel", bEnable);
    SetEnabled("btn_folder", bEnable);
}

void CFrame_Update::Notify(TNotifyUI& AMsg)
{
    if (AMsg.sType == QLatin1String("click") && AMsg.pSender != nullptr) {
        const QString strName = AMsg.pSender->objectName();
        if (strName == QLatin1String("btn_update"))
            OnUpdateClick();
        else if (strName == QLatin1String("btn_settings"))
            OnSettingsClick();
        else if (strName == QLatin1String("btn_folder"))
            OnFolderClick();
        else if (strName == QLatin1String("btn_report"))
            OnReportClick();
        else if (strName == QLatin1String("btn_cancel"))
            Close(1);
    }
    WindowImplBase::Notify(AMsg);
}

void CFrame_Update::OnUpdateClick()
{
    EnableButtons(false);
    m_bUpdating = true;
    m_nCurrentStage = 0;
    m_bStageEnded = false;
    m_dwStartTick = GetTickCount();
    SetTimer(kTimerElapsed, 100);
    m_dwTotal = m_dwDone = 0;
    m_dwTotal = m_Work.GetProjectCount() + m_Work.GetEDogCount() + m_Work.GetMusicCount() + m_Work.GetRadarCount();
    m_bMenuHandedOver = m_Work.HandOverMenu(m_Data.aSharedSettings);
    m_DeviceBefore.emplace();
    m_Work.GetDeviceVersions((*m_DeviceBefore)[0], (*m_DeviceBefore)[1], (*m_DeviceBefore)[2]);
    m_DeviceAfter.reset();
    m_bAfterUnanswered = false;
    m_Journal.Begin(m_Work.PlanUpdate(), std::chrono::steady_clock::now());
    ShowReportButton(false);
    SetText("lbl_status", tr("Старт обновления..."));
    m_strRefusal.clear();
    SetText("lbl_detail", QString());
    SetText("lbl_progress", QString());
    SetText("lbl_left", QString());
    m_strLastResult.clear();
    SetProgress(0);
    // From the first frame to the result the computer may not sleep; with
    // no logind (or none at all) the update runs as it is.
    m_Awake.Acquire(FormatWideText(m_Data.eLanguage, "Идёт обновление устройства: сон прервал бы запись"));
    // A refused (damaged) file has ended the update with its failure result
    // by now. When nothing will ever come (nothing to send, no device), say
    // so instead of waiting with disabled buttons.
    const EStartResult eStart = m_Work.StartUpdate();
    if (eStart != EStartResult::NothingToDo && eStart != EStartResult::NotConnected)
        return;
    m_Awake.Release();
    m_bUpdating = false;
    KillTimer(kTimerElapsed);
    EnableButtons(true);
    SetText("lbl_status", Text(eStart == EStartResult::NothingToDo ? kNothing : kLost));
}

void CFrame_Update::ShowReportButton(bool bShow)
{
    if (QWidget* pButton = FindControl("btn_report"))
        pButton->setVisible(bShow);
}

void CFrame_Update::ShowTimeLeft()
{
    const std::optional<double> SecondsLeft = m_Journal.GetSecondsLeft(std::chrono::steady_clock::now());
    SetText("lbl_left",
            SecondsLeft ? QString::fromStdWString(FormatTimeLeft(*SecondsLeft, m_Data.eLanguage)) : QString());
}

CReportFacts CFrame_Update::GatherReport() const
{
    CReportFacts AFacts;
    AFacts.eLanguage = m_Data.eLanguage;
    AFacts.Program = {std::string("IAP Tool ") + kIapVersion, std::string("Qt ") + qVersion()};
    if (m_bDeviceReady)
        GatherConnection(m_Work, AFacts);
    else
        AFacts.Adapters = ReadUsbAdapters();
    AFacts.SearchLines = m_SearchLines;
    AFacts.Folder = m_Data.GetUpdateFolder();
    if (m_Data.pSource && !AFacts.Folder.empty() && CUpdateSource::IsArchive(m_Data.pSource->GetGiven()))
        AFacts.Archive = m_Data.pSource->GetGiven();
    AFacts.DeviceBefore = m_DeviceBefore;
    AFacts.DeviceAfter = m_DeviceAfter;
    AFacts.bAfterUnanswered = m_bAfterUnanswered;
    AFacts.bMenuHandedOver = m_bMenuHandedOver;
    if (m_Journal.HasBegun())
        AFacts.Journal = m_Journal;
    if (const std::optional<std::int32_t> Result = m_Journal.GetResult()) {
        AFacts.strResult =
            GetStageText(kWholeUpdate, *Result == 0 ? EStageText::Succeeded : EStageText::Failed, m_Data.eLanguage);
        if (*Result != 0)
            AFacts.strWhy = m_Work.GetFailure().Describe(m_Data.eLanguage);
    }
    if (m_Data.pTrace != nullptr)
        AFacts.Trace = m_Data.pTrace->GetLines();
    return AFacts;
}

void CFrame_Update::OnReportClick()
{
    // The report is made when asked for: the files' hashes, the adapters
    // and the trace as they are now.
    const QString strDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QFileDialog ADialog(this, tr("Сохранить отчёт"));
    ADialog.setAcceptMode(QFileDialog::AcceptSave);
    ADialog.setNameFilter(tr("Текст (*.txt)"));
    // The documents folder, where the driver looks first; a system without
    // one gets the home folder.
    ADialog.setDirectory(!strDocuments.isEmpty() && QDir(strDocuments).exists() ? strDocuments : QDir::homePath());
    ADialog.selectFile(QString::fromStdString(MakeReportFileName()));
    if (ADialog.exec() != QDialog::Accepted || ADialog.selectedFiles().isEmpty())
        return;
    const QString strFile = ADialog.selectedFiles().constFirst();
    const EReportWrite eWritten = WriteReport(PathFromWide(strFile.toStdWString()), MakeReport(GatherReport()));
    SetText("lbl_detail", eWritten == EReportWrite::Written ? tr("Отчёт сохранён: %1").arg(strFile)
                                                            : tr("Отчёт не сохранён: %1").arg(strFile));
}

void CFrame_Update::OnSettingsClick()
{
    ShowWindow(false, true);
    {
        CSettingsBlock ADeviceG{}, ADeviceI{};
        m_Work.GetSettingsG(ADeviceG.data());
        m_Work.GetSettingsI(ADeviceI.data());
        CFrame_Set ASet(L"Frame_Set.xml", m_Data, ADeviceG, ADeviceI);
        if (ASet.Create(nullptr, QStringLiteral("IAP Tool")))
            ASet.ShowModal();
        else
            ShowSkinError(nullptr, ASet.GetSkinError());
    }
    ShowWindow(true, true);
}

std::intptr_t CFrame_Update::HandleCustomMessage(std::uint32_t uMsg, std::uintptr_t wParam, std::intptr_t lParam,
                                                 bool& bHandled)
{
    // The update's record takes the update's notifications first: what the
    // window shows below reads the time left from it.
    m_Journal.OnNotification(uMsg, wParam, lParam, std::chrono::steady_clock::now());
    switch (uMsg) {
    case WM_TIMER:
        if (wParam == kTimerElapsed) {
            SetText("lbl_usetime", FormatElapsed(GetTickCount() - m_dwStartTick, m_Data.eLanguage));
            ShowTimeLeft();
        } else if (wParam == kTimerSearch) {
            ShowSearchState();
        }
        break;
    case WM_DEVICE_READY: OnDeviceReady(); break;
    case WM_SETTINGS_READ: OnSettingsRead(); break;
    case WM_STAGE_START: OnStageStart(static_cast<std::int32_t>(wParam), static_cast<std::uint32_t>(lParam)); break;
    case WM_PROGRESS: OnProgress(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam)); break;
    case WM_STAGE_RESULT: OnStageResult(static_cast<std::int32_t>(wParam), static_cast<std::int32_t>(lParam)); break;
    case WM_DEVICE_LOST: OnDeviceLost(); break;
    case WM_DEVICE_REREAD: OnDeviceReread(wParam != 0); break;
    default: break;
    }
    bHandled = false;
    return 0;
}

void CFrame_Update::ShowSearchState()
{
    // The skin's own status text says that the tool is looking for the
    // device; after each search that did not find it, the detail says why,
    // when the ports or the USB adapters plugged in tell.
    if (m_bDeviceReady || m_bUpdating)
        return;
    if (m_Work.GetSearchCount() == m_dwSearchesShown)
        return;
    m_dwSearchesShown = m_Work.GetSearchCount();
    const std::vector<CPortFinding> Findings = m_Work.GetSearchFindings();
    const CSearchText AText = DescribeSearch(Findings, m_Work.GetPortsToProbe(), m_Data.eLanguage);
    if (AText.bNoInfo)
        SetText("lbl_status", QString::fromStdString(AText.strHeadline));
    // Once a search has ended the adapters are read again: on Windows that
    // asks the device tree, too slow for every tick of the timer.
    QStringList Lines;
    if (!m_strRefusal.isEmpty())
        Lines << m_strRefusal;
    if (!m_strLastResult.isEmpty())
        Lines << Text(kLastResult).arg(m_strLastResult);
    if (!AText.strMostUseful.empty())
        Lines << QString::fromStdString(AText.strMostUseful);
    for (const std::string& strLine :
         DescribeAdapters(ReadAdapterTroubles(Findings), GetHostSystem(), m_Data.eLanguage))
        Lines << QString::fromStdString(strLine);
    SetText("lbl_detail", Lines.join(QLatin1Char('\n')));
    m_SearchLines.clear();
    for (const QString& strLine : Lines)
        m_SearchLines.push_back(strLine.toStdString());
    // Nothing found: what the search met can go to support.
    ShowReportButton(true);
    GrowToFit();
}

void CFrame_Update::GrowToFit()
{
    // A wrapped label's height depends on its width, which the window's
    // minimum size does not follow: a long detail squeezes the controls
    // above it below their least height instead. The window grows by the
    // most any of them lacks, once the layout has placed the new text.
    if (layout() == nullptr)
        return;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    int nLacking = 0;
    for (const QWidget* pControl : findChildren<QWidget*>())
        if (pControl->isVisible() && !pControl->hasHeightForWidth())
            nLacking = std::max(nLacking, std::min(pControl->minimumSizeHint().height(), pControl->maximumHeight()) -
                                              pControl->height());
    if (nLacking > 0)
        resize(width(), height() + nLacking);
}

void CFrame_Update::OnDeviceReady()
{
    m_bDeviceReady = true;
    KillTimer(kTimerSearch);
    ShowFileVersions();
    ShowDeviceVersions(true);
    // While an update runs its buttons stay disabled, whatever arrives.
    // A device found anew starts from a clean slate: nothing of an earlier
    // update or connection stays on screen.
    if (!m_bUpdating) {
        SetEnabled("btn_update", true);
        // The driver's next step: Enter or Space starts the update.
        if (auto* pUpdate = FindControl<QPushButton>("btn_update"))
            pUpdate->setFocus(Qt::OtherFocusReason);
        ShowReady();
    }
}

void CFrame_Update::ShowReady()
{
    SetText("lbl_status", Text(m_Data.GetUpdateFolder().empty() ? kFoundNoFolder : kFound));
    SetText("lbl_detail", m_strRefusal);
    SetText("lbl_progress", QString());
    SetText("lbl_usetime", FormatElapsed(0, m_Data.eLanguage));
    SetProgress(0);
    m_strLastResult.clear();
    m_nCurrentStage = 0;
}

void CFrame_Update::OnSettingsRead()
{
    m_bMenuRead = true;
    // The second block's answer may come after a quick click on the
    // update button; the dialog must not open in the middle of an update.
    if (!m_bUpdating)
        SetEnabled("btn_settings", true);
    m_Work.GetSettingsG(m_Data.aSharedSettings.data());
}

void CFrame_Update::OnDeviceLost()
{
    m_bDeviceReady = false;
    m_bMenuRead = false;
    SetEnabled("btn_update", false);
    ShowDeviceVersions(false);
    // Say what happened and what the tool does now; the result of the last
    // update stays below it.
    SetText("lbl_status", Text(kLost));
    SetText("lbl_detail", m_strLastResult.isEmpty() ? QString() : Text(kLastResult).arg(m_strLastResult));
    SetText("lbl_progress", QString());
    SetTimer(kTimerSearch, 500);
}

void CFrame_Update::OnDeviceReread(bool bAnswered)
{
    // The whole update's result stays as it is; the device column now shows
    // what the device reports after it, and one line says where that is not
    // what was written.
    if (!m_bDeviceReady || m_bUpdating)
        return;
    ShowDeviceVersions(true);
    std::optional<std::wstring> FirmwareNow;
    if (bAnswered) {
        std::wstring strFirmware, strData, strRadar;
        m_Work.GetDeviceVersions(strFirmware, strData, strRadar);
        m_DeviceAfter = std::array<std::wstring, 3>{strFirmware, strData, strRadar};
        FirmwareNow = strFirmware;
    }
    m_bAfterUnanswered = !bAnswered;
    if (const std::string strNote = DescribeDeviceAfter(FirmwareNow, m_Work.GetFirmwareSent(), m_Data.eLanguage);
        !strNote.empty())
        SetText("lbl_detail", QString::fromStdString(strNote));
}

void CFrame_Update::OnStageStart(std::int32_t nStage, std::uint32_t dwTotal)
{
    m_nCurrentStage = nStage;
    m_bStageEnded = false;
    m_dwTotal = dwTotal;
    m_dwDone = 0;
    SetProgress(nStage == kWholeUpdate ? 100 : 0);
    SetText("lbl_progress", QString());
    SetText("lbl_status", StageText(nStage, EStageText::Running, m_Data.eLanguage));
}

void CFrame_Update::OnProgress(std::uint32_t dwTotal, std::uint32_t dwDone)
{
    // Progress belongs to a running stage; one that comes after its stage
    // has ended (or before any began) would overwrite the result.
    // A total of 0 cannot be shown as a share.
    if (m_bStageEnded || m_nCurrentStage < 1 || m_nCurrentStage > 5 || dwTotal == 0)
        return;
    m_dwTotal = dwTotal;
    m_dwDone = dwDone;
    int nBar = 0;
    QString strPercent;
    if (CalcProgress(dwTotal, dwDone, nBar, strPercent)) {
        SetProgress(nBar);
        SetText("lbl_progress", strPercent);
    }
    SetText("lbl_status", StageText(m_nCurrentStage, EStageText::Running, m_Data.eLanguage));
}

void CFrame_Update::OnStageResult(std::int32_t nStage, std::int32_t nResult)
{
    const QString strText = StageText(nStage, nResult == 0 ? EStageText::Succeeded : EStageText::Failed, m_Data.eLanguage);
    // A full bar says "done": a failed stage shows how far it got, short of
    // full, and one that never began shows nothing.
    if (nResult == 0)
        SetProgress(100);
    else if (nStage != kWholeUpdate)
        SetProgress(nStage == m_nCurrentStage && !m_bStageEnded ? FailedBar(m_dwTotal, m_dwDone) : 0);
    m_bStageEnded = true;
    if (nStage == kWholeUpdate) {
        m_Awake.Release();
        m_nCurrentStage = 6;
        m_bUpdating = false;
        m_strLastResult = strText;
        EnableButtons(true);
        ShowReportButton(true);
        SetText("lbl_left", QString());
        SetText("lbl_detail",
                nResult != 0 ? QString::fromStdWString(m_Work.GetFailure().Describe(m_Data.eLanguage)) : QString());
    }
    SetText("lbl_progress", QString());
    SetText("lbl_status", strText);
    if (nStage == kWholeUpdate)
        KillTimer(kTimerElapsed);
}

int CFrame_Update::FailedBar(std::uint32_t dwTotal, std::uint32_t dwDone)
{
    if (dwTotal == 0)
        return 0;
    return static_cast<int>(std::min<std::uint64_t>(std::uint64_t{dwDone} * 100 / dwTotal, 99));
}

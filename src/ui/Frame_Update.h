#pragma once
#include <optional>

class QLabel;
class QMimeData;

#include "SleepInhibitor.h"
#include "UpdateJournal.h"
#include "UpdateReport.h"
#include "WindowImplBase.h"

// The main window: shows the versions, finds the device through the worker,
// starts the update with one click and shows each stage, its percentage, the
// elapsed time and the results.
class CFrame_Update final : public WindowImplBase {
    Q_OBJECT
public:
    static constexpr int kTimerElapsed = 10086;
    static constexpr int kTimerSearch = 10087;

    // AWork is the program's worker; the window tells it what the driver
    // does and shows what it notifies through ANotify (the program's bridge,
    // which delivers to this window). Both must outlive the window.
    CFrame_Update(std::wstring strSkinFile, CProgramData& AData, CNotifyWindow& ANotify, CWork_BK& AWork);

    bool IsUpdating() const { return m_bUpdating; }
    // Reads the update files and "ver.txt" from Given from now on, a folder
    // or an update archive (empty: none): the versions shown and the next
    // update follow it at once, and an installed program keeps it for its
    // next start. An archive that is refused changes nothing but the
    // detail line, which says why. Ignored while an update runs. False when
    // nothing changed.
    bool ChangeUpdateFolder(const std::filesystem::path& Given);

    // The window's texts, kept here so that they can be checked as tables.
    static QString FormatElapsed(std::uint32_t dwElapsedMs, ELanguage eLanguage);
    // The bar value and the percentage text of a progress notification;
    // false when the total is 0 and nothing can be shown.
    static bool CalcProgress(std::uint32_t dwTotal, std::uint32_t dwDone, int& nBar, QString& strPercent);
    // The bar a failed stage is left with: how far it got, never full.
    static int FailedBar(std::uint32_t dwTotal, std::uint32_t dwDone);

protected:
    QString GetWindowClassName() const override { return QStringLiteral("CFrame_Update"); }
    std::wstring GetSkinFile() const override { return m_strSkinFile; }
    void InitWindow() override;
    std::intptr_t HandleCustomMessage(std::uint32_t uMsg, std::uintptr_t wParam, std::intptr_t lParam,
                                      bool& bHandled) override;
    void Notify(TNotifyUI& AMsg) override;
    bool CanClose() const override { return !m_bUpdating; }
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragLeaveEvent(QDragLeaveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    void OnUpdateClick();
    void OnSettingsClick();
    void OnFolderClick();
    void OnReportClick();
    // The folder or archive a drop carries, when the window takes it now.
    std::optional<std::filesystem::path> TakesDrop(const QMimeData* pData) const;
    // The report's facts as the window knows them now.
    CReportFacts GatherReport() const;
    void ShowReportButton(bool bShow);
    void ShowTimeLeft();
    void OnDeviceReady();
    void OnSettingsRead();
    void OnStageStart(std::int32_t nStage, std::uint32_t dwTotal);
    void OnProgress(std::uint32_t dwTotal, std::uint32_t dwDone);
    void OnStageResult(std::int32_t nStage, std::int32_t nResult);
    void OnDeviceLost();
    void OnDeviceReread(bool bAnswered);
    void ShowSearchState();
    void GrowToFit();
    void EnableButtons(bool bEnable);
    void SetText(const char* szName, const QString& strText);
    void SetText(const char* szName, const std::wstring& strText) { SetText(szName, QString::fromStdWString(strText)); }
    void SetEnabled(const char* szName, bool bEnable);
    void SetProgress(int nValue);
    void ShowFileVersions();
    void ShowFolder();
    void ShowReady();
    void ShowDeviceVersions(bool bShow);

    std::wstring m_strSkinFile;
    std::int32_t m_nCurrentStage = 0;
    std::uint32_t m_dwTotal = 0;
    std::uint32_t m_dwDone = 0;
    std::uint32_t m_dwStartTick = 0;
    CWork_BK& m_Work;
    bool m_bUpdating = false;     // from the click until the whole update's result
    bool m_bDeviceReady = false;  // the connected device has answered
    bool m_bMenuRead = false;     // the connected device reported its menu
    bool m_bStageEnded = false;   // the current stage's result has come
    QString m_strLastResult;      // the last whole update's result text
    QString m_strRefusal;         // why the archive named last was refused, until another is taken
    QLabel* m_pDropHint = nullptr;  // over the window while a drop it takes hovers (a child: Qt owns it)
    std::uint32_t m_dwSearchesShown = 0;  // the worker's search count the detail tells of
    // From the first frame of an update to its result the computer is kept
    // awake.
    CSleepInhibitor m_Awake;
    // The last update, as the window saw it (the time left, the report).
    CUpdateJournal m_Journal;
    // What the report tells besides the journal: the device's versions
    // before and after the last update, what the last search said.
    std::optional<std::array<std::wstring, 3>> m_DeviceBefore;
    std::optional<std::array<std::wstring, 3>> m_DeviceAfter;
    bool m_bAfterUnanswered = false;
    bool m_bMenuHandedOver = false;
    std::vector<std::string> m_SearchLines;
};

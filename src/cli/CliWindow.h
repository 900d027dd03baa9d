#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>

#include "Language.h"
#include "NotifyWindow.h"
#include "UpdateJournal.h"

// The terminal's stand-in for the update window: receives the worker's
// notifications on the worker's threads and shows them on the main thread,
// with the window's texts in eLanguage. On a terminal the progress line
// redraws in place.
class CCliWindow final : public CNotifyWindow {
public:
    struct CEvent {
        std::uint32_t uMessage;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    CCliWindow(std::FILE* pOut, bool bTerminal, ELanguage eLanguage);

    std::intptr_t SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam) override;

    // Takes the next notification, waiting until tDeadline at most.
    bool WaitEvent(CEvent& AEvent, std::chrono::steady_clock::time_point tDeadline);
    // Shows one notification of a running update; answers true once the
    // whole update has ended, with nResult its result.
    bool Show(const CEvent& AEvent, int& nResult);
    // An update with this plan starts now: its clock, its record and the
    // time left shown on the progress line.
    void BeginUpdate(CUpdatePlan APlan);
    const CUpdateJournal& GetJournal() const { return m_Journal; }
    void Print(const char* szText);

private:
    void DrawProgress(int nPercent);
    void EndLine();
    std::string Elapsed() const;

    std::FILE* m_pOut;
    bool m_bTerminal;
    ELanguage m_eLanguage;
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::deque<CEvent> m_Events;
    std::chrono::steady_clock::time_point m_tStart = std::chrono::steady_clock::now();
    CUpdateJournal m_Journal;
    int m_nStage = 0;
    int m_nLastPercent = -1;
    bool m_bLineOpen = false;
};

#include "CliWindow.h"

#include <string>

#include "StageText.h"
#include "Stages.h"
#include "TextCatalog.h"
#include "TextCodec.h"

CCliWindow::CCliWindow(std::FILE* pOut, bool bTerminal, ELanguage eLanguage)
    : m_pOut(pOut), m_bTerminal(bTerminal), m_eLanguage(eLanguage)
{
}

std::intptr_t CCliWindow::SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam)
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Events.push_back({uMessage, wParam, lParam});
    }
    m_Cond.notify_all();
    return 0;
}

bool CCliWindow::WaitEvent(CEvent& AEvent, std::chrono::steady_clock::time_point tDeadline)
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    if (!m_Cond.wait_until(ALock, tDeadline, [this] { return !m_Events.empty(); }))
        return false;
    AEvent = m_Events.front();
    m_Events.pop_front();
    return true;
}

std::string CCliWindow::Elapsed() const
{
    const auto nMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_tStart).count();
    return WideToUtf8(FormatElapsed(static_cast<std::uint64_t>(nMs), m_eLanguage));
}

void CCliWindow::Print(const char* szText)
{
    EndLine();
    std::fputs(szText, m_pOut);
    std::fflush(m_pOut);
}

void CCliWindow::EndLine()
{
    if (m_bLineOpen) {
        std::fputc('\n', m_pOut);
        m_bLineOpen = false;
    }
}

void CCliWindow::DrawProgress(int nPercent)
{
    if (!m_bTerminal && nPercent == m_nLastPercent)
        return;
    m_nLastPercent = nPercent;
    constexpr int kWidth = 30;
    const int nFilled = nPercent * kWidth / 100;
    std::string strBar(static_cast<std::size_t>(nFilled), '#');
    strBar.append(static_cast<std::size_t>(kWidth - nFilled), '.');
    const std::string strText = WideToUtf8(GetStageText(m_nStage, EStageText::Running, m_eLanguage));
    const std::optional<double> SecondsLeft = m_Journal.GetSecondsLeft(std::chrono::steady_clock::now());
    const std::string strLeft = SecondsLeft ? "  " + WideToUtf8(FormatTimeLeft(*SecondsLeft, m_eLanguage)) : std::string();
    if (m_bTerminal) {
        std::fprintf(m_pOut, "\r\033[K[%s] %3d%%  %s  %s%s", strBar.c_str(), nPercent, strText.c_str(),
                     Elapsed().c_str(), strLeft.c_str());
        m_bLineOpen = true;
    } else {
        std::fprintf(m_pOut, "[%s] %3d%%  %s  %s%s\n", strBar.c_str(), nPercent, strText.c_str(), Elapsed().c_str(),
                     strLeft.c_str());
    }
    std::fflush(m_pOut);
}

void CCliWindow::BeginUpdate(CUpdatePlan APlan)
{
    m_tStart = std::chrono::steady_clock::now();
    m_Journal.Begin(std::move(APlan), m_tStart);
}

bool CCliWindow::Show(const CEvent& AEvent, int& nResult)
{
    m_Journal.OnNotification(AEvent.uMessage, AEvent.wParam, AEvent.lParam, std::chrono::steady_clock::now());
    switch (AEvent.uMessage) {
    case WM_STAGE_START:
        m_nStage = static_cast<int>(AEvent.wParam);
        m_nLastPercent = -1;
        DrawProgress(0);
        return false;
    case WM_PROGRESS: {
        // A total of 0 leaves the display as it is.
        if (AEvent.wParam == 0)
            return false;
        const std::uint32_t dwPercent =
            static_cast<std::uint32_t>(AEvent.lParam) * 100u / static_cast<std::uint32_t>(AEvent.wParam);
        DrawProgress(static_cast<int>(dwPercent > 100 ? 100 : dwPercent));
        return false;
    }
    case WM_STAGE_RESULT: {
        const int nStage = static_cast<int>(AEvent.wParam);
        const std::string strText = WideToUtf8(
            GetStageText(nStage, AEvent.lParam == 0 ? EStageText::Succeeded : EStageText::Failed, m_eLanguage));
        EndLine();
        std::fprintf(m_pOut, "%s%s\n", strText.c_str(), nStage == kWholeUpdate ? ("  " + Elapsed()).c_str() : "");
        std::fflush(m_pOut);
        if (nStage != kWholeUpdate)
            return false;
        nResult = static_cast<int>(AEvent.lParam);
        return true;
    }
    case WM_DEVICE_LOST:
        Print((FormatText(m_eLanguage, "Устройство отключено.", {}) + "\n").c_str());
        return false;
    default:
        return false;
    }
}

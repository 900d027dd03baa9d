#include "TraceTap.h"

#include <atomic>
#include <shared_mutex>

namespace {

// The tap now installed, and the lock that keeps it alive while a writer
// hands it a line (its destructor waits for them).
std::shared_mutex& TapLock()
{
    static std::shared_mutex ALock;
    return ALock;
}
CTraceTap* g_pTap = nullptr; // under TapLock

} // namespace

CTraceTap::CTraceTap(std::size_t nMaxLines) : m_nMaxLines(nMaxLines)
{
    std::unique_lock<std::shared_mutex> ALock(TapLock());
    g_pTap = this;
}

CTraceTap::~CTraceTap()
{
    std::unique_lock<std::shared_mutex> ALock(TapLock());
    if (g_pTap == this)
        g_pTap = nullptr;
}

void CTraceTap::Append(std::string_view strText)
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    for (const char ch : strText) {
        if (ch == '\r')
            continue;
        if (ch != '\n') {
            m_strPartial += ch;
            continue;
        }
        m_Lines.push_back(std::move(m_strPartial));
        m_strPartial.clear();
        if (m_Lines.size() > m_nMaxLines)
            m_Lines.pop_front();
    }
}

std::vector<std::string> CTraceTap::GetLines() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    std::vector<std::string> Lines(m_Lines.begin(), m_Lines.end());
    if (!m_strPartial.empty())
        Lines.push_back(m_strPartial);
    return Lines;
}

void TapTrace(std::string_view strText)
{
    std::shared_lock<std::shared_mutex> ALock(TapLock());
    if (g_pTap != nullptr)
        g_pTap->Append(strText);
}

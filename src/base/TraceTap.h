#pragma once
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// A copy of the trace kept in memory, its last lines, for a report a
// driver can send to support: the trace itself goes to a console that a
// window started from a desktop does not have. While one lives, every
// DebugPrint line is also handed to it; it is the process's one tap, since
// the trace is the process's (every thread writes to the same standard
// output), and the program that owns its front end creates it first and
// destroys it last, after its worker's threads have ended.
// Threads: Append from any thread (DebugPrint's); GetLines from any thread.
// Lock: its own, taken for a few lines, never while calling out.
class CTraceTap {
public:
    explicit CTraceTap(std::size_t nMaxLines);
    ~CTraceTap();
    CTraceTap(const CTraceTap&) = delete;
    CTraceTap& operator=(const CTraceTap&) = delete;

    // A piece of the trace as DebugPrint writes it (UTF-8, lines ending in
    // "\r\n", a long one possibly in several pieces).
    void Append(std::string_view strText);
    // The lines kept, oldest first, without their line ends.
    std::vector<std::string> GetLines() const;

private:
    mutable std::mutex m_Mutex;
    std::size_t m_nMaxLines;
    std::deque<std::string> m_Lines;
    std::string m_strPartial;
};

// DebugPrint's side: hands a written piece to the tap, if one lives.
void TapTrace(std::string_view strText);

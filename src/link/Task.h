#pragma once
#include <cstdint>

// Send bookkeeping that travels with every queued packet.
class CTask {
public:
    CTask(std::uint32_t dwMaxTries, std::uint32_t dwLongWait, std::uint32_t dwShortWait);
    virtual ~CTask() = default;
    CTask(const CTask&) = default;
    CTask& operator=(const CTask&) = default;

    // Counts one more try and answers true while tries are left; at the
    // maximum it answers false and counts nothing.
    bool NextTry();

    void SetMaxTries(std::uint32_t dwMaxTries) { m_dwMaxTries = dwMaxTries; }
    void SetLongWait(std::uint32_t dwLongWait);
    void SetShortWait(std::uint32_t dwShortWait);

    std::uint32_t GetMaxTries() const { return m_dwMaxTries; }
    std::uint32_t GetLongWait() const { return m_dwLongWait; }
    std::uint32_t GetShortWait() const { return m_dwShortWait; }
    std::uint32_t GetTriesUsed() const { return m_dwTriesUsed; }

private:
    std::uint32_t m_dwMaxTries;
    std::uint32_t m_dwLongWait;
    std::uint32_t m_dwShortWait;
    std::uint32_t m_dwTriesUsed = 0;
};

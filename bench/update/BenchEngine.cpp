#include "BenchEngine.h"

#include "Stages.h"

CBenchWork::CBenchWork()
{
    // Room for the records of the largest benchmark, so that keeping the
    // stamps never reallocates during a stage.
    m_Reads.reserve(1 << 16);
    m_RecordWrites.reserve(1 << 16);
}

CBenchWork::~CBenchWork()
{
    // The threads call SendData; they must end while this part still exists.
    Reset();
}

int CBenchWork::OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    const auto tNow = ABenchClock::now();
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Reads.push_back(tNow);
    }
    return CWork_BK::OnReceive(pBytes, dwCount);
}

bool CBenchWork::SendData(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    {
        const auto tNow = ABenchClock::now();
        std::lock_guard<std::mutex> ALock(m_Mutex);
        ++m_nFramesWritten;
        if (dwCount > 3 && pBytes[3] == kStages[0].btBlock)
            m_RecordWrites.push_back(tNow);
    }
    const CStage* pStarted = dwCount > 3 ? FindStageBy(&CStage::btStart, pBytes[3]) : nullptr;
    if (pStarted != nullptr) {
        const std::int32_t nStage = pStarted->nStage;
        const auto tNow = ABenchClock::now();
        std::lock_guard<std::mutex> ALock(m_Mutex);
        if (!m_bStarted[nStage]) {
            m_bStarted[nStage] = true;
            m_tStart[nStage] = tNow;
        }
    }
    return CWork_BK::SendData(pBytes, dwCount);
}

bool CBenchWork::GetStartWritten(int nStage, ABenchClock::time_point& tAt) const
{
    if (nStage < 1 || nStage > 5)
        return false;
    std::lock_guard<std::mutex> ALock(m_Mutex);
    tAt = m_tStart[nStage];
    return m_bStarted[nStage];
}

std::vector<ABenchClock::time_point> CBenchWork::GetReads() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Reads;
}

std::vector<ABenchClock::time_point> CBenchWork::GetRecordWrites() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_RecordWrites;
}

std::uint64_t CBenchWork::GetFramesWritten() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_nFramesWritten;
}

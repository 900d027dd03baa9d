#include "StageTable.h"

#include "Command.h"
#include "Stages.h"

std::vector<CStageRow> CountStageRows(std::span<const CSimLogEntry> Log)
{
    const auto Traffic = CountStageTraffic(Log);
    std::vector<CStageRow> Rows;
    for (int nStage = 1; nStage <= 5; ++nStage) {
        const CSimTraffic& A = Traffic[static_cast<std::size_t>(nStage)];
        Rows.push_back({nStage, A.nFramesOut, A.nFramesIn, A.nBytesOut, A.nBytesIn});
    }
    return Rows;
}

namespace {

// Calls OnTurn(answer, record) for each firmware record the device received
// right after answering the record before it; OnTurn returns false to stop.
template <class F>
void ForEachRecordTurn(std::span<const CSimLogEntry> Log, F OnTurn)
{
    const CSimLogEntry* pAnswer = nullptr;
    for (const CSimLogEntry& AEntry : Log) {
        if (AEntry.Bytes.size() < 5)
            continue;
        if (AEntry.eKind == ESimLogKind::Sent) {
            const bool bRecordAnswer = AEntry.Bytes[3] == Cmd::Acknowledge && AEntry.Bytes[4] == kStages[0].btBlock;
            pAnswer = bRecordAnswer ? &AEntry : nullptr;
        } else if (AEntry.eKind == ESimLogKind::Received) {
            const CSimLogEntry* pFrom = pAnswer;
            pAnswer = nullptr;
            if (pFrom != nullptr && AEntry.Bytes[3] == kStages[0].btBlock && !OnTurn(*pFrom, AEntry))
                return;
        }
    }
}

} // namespace

std::vector<double> MeasureRecordTurns(std::span<const CSimLogEntry> Log)
{
    std::vector<double> Seconds;
    ForEachRecordTurn(Log, [&](const CSimLogEntry& AAnswer, const CSimLogEntry& ARecord) {
        Seconds.push_back(std::chrono::duration<double>(ARecord.tAt - AAnswer.tAt).count());
        return true;
    });
    return Seconds;
}

CTurnParts SplitRecordTurns(std::span<const CSimLogEntry> Log,
                            std::span<const std::chrono::steady_clock::time_point> HostReads,
                            std::span<const std::chrono::steady_clock::time_point> RecordWrites,
                            std::uint32_t dwBaud)
{
    using ADuration = std::chrono::duration<double>;
    const auto Wire = [dwBaud](std::size_t nBytes) {
        return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            ADuration(GetWireSeconds(nBytes, dwBaud)));
    };
    CTurnParts AParts;
    std::size_t nRead = 0;
    std::size_t nWrite = 0;
    ForEachRecordTurn(Log, [&](const CSimLogEntry& AAnswer, const CSimLogEntry& ARecord) {
        const auto tAnswered = AAnswer.tAt + Wire(AAnswer.Bytes.size());
        const auto tDeviceRead = ARecord.tAt - Wire(ARecord.Bytes.size());
        // The host's first read after the answer went out, and its first
        // record written after that read.
        while (nRead < HostReads.size() && HostReads[nRead] < AAnswer.tAt)
            ++nRead;
        if (nRead == HostReads.size())
            return false;
        while (nWrite < RecordWrites.size() && RecordWrites[nWrite] < HostReads[nRead])
            ++nWrite;
        if (nWrite == RecordWrites.size())
            return false;
        if (RecordWrites[nWrite] > ARecord.tAt)
            return true;
        AParts.ToHost.push_back(ADuration(HostReads[nRead] - tAnswered).count());
        AParts.InHost.push_back(ADuration(RecordWrites[nWrite] - HostReads[nRead]).count());
        AParts.ToDevice.push_back(ADuration(tDeviceRead - RecordWrites[nWrite]).count());
        return true;
    });
    return AParts;
}

double GetWireSeconds(std::uint64_t nBytes, std::uint32_t dwBaud)
{
    return dwBaud == 0 ? 0.0 : static_cast<double>(nBytes) * 10.0 / dwBaud;
}

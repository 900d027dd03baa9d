#include "StageTable.h"

#include "Command.h"

int GetStageOfCommand(std::uint8_t btCommand)
{
    switch (btCommand) {
    case Cmd::ProjectStart:
    case Cmd::DataRecord:
    case Cmd::ProjectEnd: return 1;
    case Cmd::EDogStart:
    case Cmd::EDogBlock:
    case Cmd::EDogEnd: return 2;
    case Cmd::MusicStart:
    case Cmd::MusicBlock:
    case Cmd::MusicEnd: return 3;
    case Cmd::RadarStart:
    case Cmd::RadarBlock:
    case Cmd::RadarEnd: return 4;
    case Cmd::WriteSettings: return 5;
    default: return 0;
    }
}

std::vector<CStageRow> CountStageTraffic(std::span<const CSimLogEntry> Log)
{
    std::vector<CStageRow> Rows(6);
    for (int i = 0; i < 6; ++i)
        Rows[static_cast<std::size_t>(i)].nStage = i;
    int nStage = 0;
    for (const CSimLogEntry& AEntry : Log) {
        if (AEntry.eKind == ESimLogKind::Received && AEntry.Bytes.size() > 3) {
            nStage = GetStageOfCommand(AEntry.Bytes[3]);
            ++Rows[static_cast<std::size_t>(nStage)].nFramesOut;
            Rows[static_cast<std::size_t>(nStage)].nBytesOut += AEntry.Bytes.size();
        } else if (AEntry.eKind == ESimLogKind::Sent) {
            ++Rows[static_cast<std::size_t>(nStage)].nFramesIn;
            Rows[static_cast<std::size_t>(nStage)].nBytesIn += AEntry.Bytes.size();
        }
    }
    Rows.erase(Rows.begin());
    return Rows;
}

std::vector<double> MeasureRecordTurns(std::span<const CSimLogEntry> Log)
{
    std::vector<double> Seconds;
    const CSimLogEntry* pAnswer = nullptr;
    for (const CSimLogEntry& AEntry : Log) {
        if (AEntry.Bytes.size() < 5)
            continue;
        if (AEntry.eKind == ESimLogKind::Sent) {
            const bool bRecordAnswer = AEntry.Bytes[3] == Cmd::Acknowledge && AEntry.Bytes[4] == Cmd::DataRecord;
            pAnswer = bRecordAnswer ? &AEntry : nullptr;
        } else if (AEntry.eKind == ESimLogKind::Received) {
            if (pAnswer != nullptr && AEntry.Bytes[3] == Cmd::DataRecord)
                Seconds.push_back(std::chrono::duration<double>(AEntry.tAt - pAnswer->tAt).count());
            pAnswer = nullptr;
        }
    }
    return Seconds;
}

CTurnParts SplitRecordTurns(std::span<const CSimLogEntry> Log,
                            std::span<const std::chrono::steady_clock::time_point> HostReads,
                            std::span<const std::chrono::steady_clock::time_point> RecordWrites,
                            std::uint32_t dwBaud)
{
    using ADuration = std::chrono::duration<double>;
    CTurnParts AParts;
    std::size_t nRead = 0;
    std::size_t nWrite = 0;
    const CSimLogEntry* pAnswer = nullptr;
    for (const CSimLogEntry& AEntry : Log) {
        if (AEntry.Bytes.size() < 5)
            continue;
        if (AEntry.eKind == ESimLogKind::Sent) {
            const bool bRecordAnswer = AEntry.Bytes[3] == Cmd::Acknowledge && AEntry.Bytes[4] == Cmd::DataRecord;
            pAnswer = bRecordAnswer ? &AEntry : nullptr;
            continue;
        }
        if (AEntry.eKind != ESimLogKind::Received)
            continue;
        const CSimLogEntry* pFrom = pAnswer;
        pAnswer = nullptr;
        if (pFrom == nullptr || AEntry.Bytes[3] != Cmd::DataRecord)
            continue;
        const auto tAnswered = pFrom->tAt + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                ADuration(GetWireSeconds(pFrom->Bytes.size(), dwBaud)));
        const auto tDeviceRead = AEntry.tAt - std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                  ADuration(GetWireSeconds(AEntry.Bytes.size(), dwBaud)));
        // The host's first read after the answer went out, and its first
        // record written after that read.
        while (nRead < HostReads.size() && HostReads[nRead] < pFrom->tAt)
            ++nRead;
        if (nRead == HostReads.size())
            break;
        while (nWrite < RecordWrites.size() && RecordWrites[nWrite] < HostReads[nRead])
            ++nWrite;
        if (nWrite == RecordWrites.size())
            break;
        if (RecordWrites[nWrite] > AEntry.tAt)
            continue;
        AParts.ToHost.push_back(ADuration(HostReads[nRead] - tAnswered).count());
        AParts.InHost.push_back(ADuration(RecordWrites[nWrite] - HostReads[nRead]).count());
        AParts.ToDevice.push_back(ADuration(tDeviceRead - RecordWrites[nWrite]).count());
    }
    return AParts;
}

double GetWireSeconds(std::uint64_t nBytes, std::uint32_t dwBaud)
{
    return dwBaud == 0 ? 0.0 : static_cast<double>(nBytes) * 10.0 / dwBaud;
}

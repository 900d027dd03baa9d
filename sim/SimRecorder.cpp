#include "SimRecorder.h"

#include "Stages.h"
#include "TextCatalog.h"

#include <cstdio>
#include <filesystem>

CSimRecorder::CSimRecorder(std::string strDir, ELanguage eLanguage) : m_strDir(std::move(strDir)), m_eLanguage(eLanguage) {}

bool CSimRecorder::Open(std::string& strError)
{
    if (m_strDir.empty())
        return true;
    std::error_code ec;
    std::filesystem::create_directories(m_strDir, ec);
    m_LogFile.open(m_strDir + "/frames.log", std::ios::binary | std::ios::trunc);
    if (!m_LogFile) {
        strError = FormatText(m_eLanguage, "не удаётся записать {1}", {m_strDir + "/frames.log"});
        return false;
    }
    return true;
}

void CSimRecorder::Log(ESimLogKind eKind, std::span<const std::uint8_t> Bytes)
{
    const auto tNow = std::chrono::steady_clock::now();
    CSimLogEntry AEntry{
        static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(tNow - m_tStart).count()),
        eKind, CSimBytes(Bytes.begin(), Bytes.end()), tNow};
    if (m_LogFile.is_open()) {
        // Flushed line by line, so a run that is killed still leaves its log.
        m_LogFile << FormatLogLine(AEntry);
        m_LogFile.flush();
    }
    std::lock_guard<std::mutex> ALock(m_Mutex);
    m_Log.push_back(std::move(AEntry));
}

void CSimRecorder::BeginFirmware()
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    m_Flash.Clear();
}

void CSimRecorder::WriteFirmware(std::uint32_t dwAddress, std::span<const std::uint8_t> Bytes)
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    m_Flash.Write(dwAddress, Bytes);
}

void CSimRecorder::EndFirmware()
{
    if (m_strDir.empty())
        return;
    std::uint32_t dwBase = 0;
    CSimBytes Image;
    std::vector<CSimRange> Ranges;
    std::uint64_t dwSpan = 0;
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        Image = m_Flash.GetImage(dwBase);
        Ranges = m_Flash.GetRanges();
        dwSpan = m_Flash.GetSpan();
    }
    WriteFile("firmware.bin", Image);
    WriteFile("firmware.map", FormatMap(Ranges, dwSpan));
}

void CSimRecorder::BeginImage(ESimImage eImage, std::optional<std::uint32_t> dwAnnounced)
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    m_Images[Index(eImage)].clear();
    if (eImage == ESimImage::Radar)
        m_dwAnnouncedRadar = dwAnnounced;
}

void CSimRecorder::AppendImage(ESimImage eImage, std::span<const std::uint8_t> Bytes)
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    CSimBytes& Image = m_Images[Index(eImage)];
    Image.insert(Image.end(), Bytes.begin(), Bytes.end());
}

void CSimRecorder::EndImage(ESimImage eImage)
{
    if (m_strDir.empty())
        return;
    const CSimBytes Image = GetImage(eImage);
    WriteFile(GetFileName(eImage), Image);
    if (eImage != ESimImage::Radar)
        return;
    const std::optional<std::uint32_t> dwAnnounced = GetAnnouncedRadarSize();
    const std::string strText = "announced " + (dwAnnounced ? std::to_string(*dwAnnounced) : std::string("none")) +
                                " received " + std::to_string(Image.size()) +
                                (RadarSizeMatched() ? " match\n" : " MISMATCH\n");
    WriteFile("rdfw.size", strText);
}

void CSimRecorder::WriteSettings(std::span<const std::uint8_t> Bytes)
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Settings = CSimBytes(Bytes.begin(), Bytes.end());
    }
    if (!m_strDir.empty())
        WriteFile("settings.bin", Bytes);
}

CSimBytes CSimRecorder::GetFirmware(std::uint32_t& dwBase) const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Flash.GetImage(dwBase);
}

std::vector<CSimRange> CSimRecorder::GetFirmwareRanges() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Flash.GetRanges();
}

std::map<std::uint32_t, std::uint8_t> CSimRecorder::GetFirmwareBytes() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Flash.GetBytes();
}

CSimBytes CSimRecorder::GetImage(ESimImage eImage) const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Images[Index(eImage)];
}

std::optional<std::uint32_t> CSimRecorder::GetAnnouncedRadarSize() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_dwAnnouncedRadar;
}

bool CSimRecorder::RadarSizeMatched() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_dwAnnouncedRadar && *m_dwAnnouncedRadar == m_Images[Index(ESimImage::Radar)].size();
}

std::optional<CSimBytes> CSimRecorder::GetSettings() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Settings;
}

std::vector<CSimLogEntry> CSimRecorder::GetLog() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Log;
}

std::string CSimRecorder::GetLogText() const
{
    std::string strText;
    for (const CSimLogEntry& AEntry : GetLog())
        strText += FormatLogLine(AEntry);
    return strText;
}

std::string CSimRecorder::FormatLogLine(const CSimLogEntry& AEntry)
{
    static constexpr const char* szKinds[] = {"rx", "tx", "bad", "noise"};
    char szStamp[16];
    std::snprintf(szStamp, sizeof szStamp, "%08u ", AEntry.dwMs);
    std::string strLine = szStamp;
    strLine += szKinds[static_cast<std::size_t>(AEntry.eKind)];
    for (const std::uint8_t bt : AEntry.Bytes) {
        char szHex[4];
        std::snprintf(szHex, sizeof szHex, " %02X", bt);
        strLine += szHex;
    }
    strLine += '\n';
    return strLine;
}

std::string CSimRecorder::FormatMap(std::span<const CSimRange> Ranges, std::uint64_t dwSpan)
{
    // One line per run of written bytes: first and last address, length.
    std::string strText;
    for (const CSimRange& ARange : Ranges) {
        char szLine[64];
        std::snprintf(szLine, sizeof szLine, "%08X-%08X %llu\n", ARange.dwStart,
                      static_cast<unsigned>(ARange.dwStart + ARange.dwLength - 1),
                      static_cast<unsigned long long>(ARange.dwLength));
        strText += szLine;
    }
    if (dwSpan > CSimFlash::kImageLimit)
        strText += "firmware.bin left empty: the records span " + std::to_string(dwSpan) + " bytes\n";
    return strText;
}

const char* CSimRecorder::GetFileName(ESimImage eImage)
{
    switch (eImage) {
    case ESimImage::EDog: return "flagdata.bin";
    case ESimImage::Music: return "audioHead.bin";
    case ESimImage::Radar: return "rdfw.bin";
    }
    return "";
}

void CSimRecorder::WriteFile(const std::string& strName, std::span<const std::uint8_t> Bytes) const
{
    const std::string strPath = m_strDir + "/" + strName;
    std::ofstream AFile(strPath, std::ios::binary | std::ios::trunc);
    AFile.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    if (!AFile)
        std::fprintf(stderr, "iap-sim: %s\n", FormatText(m_eLanguage, "не удаётся записать {1}", {strPath}).c_str());
}

void CSimRecorder::WriteFile(const std::string& strName, const std::string& strText) const
{
    WriteFile(strName, std::span(reinterpret_cast<const std::uint8_t*>(strText.data()), strText.size()));
}

std::array<CSimTraffic, 6> CountStageTraffic(std::span<const CSimLogEntry> Log)
{
    std::array<CSimTraffic, 6> Traffic{};
    std::size_t nStage = 0;
    for (const CSimLogEntry& AEntry : Log) {
        if (AEntry.eKind == ESimLogKind::Received && AEntry.Bytes.size() > 3) {
            nStage = static_cast<std::size_t>(GetStageOfHostCommand(AEntry.Bytes[3]));
            ++Traffic[nStage].nFramesOut;
            Traffic[nStage].nBytesOut += AEntry.Bytes.size();
        } else if (AEntry.eKind == ESimLogKind::Sent) {
            ++Traffic[nStage].nFramesIn;
            Traffic[nStage].nBytesIn += AEntry.Bytes.size();
        }
    }
    return Traffic;
}

#include "EngineTestKit.h"

#include <cstdlib>
#include <fstream>
#include <random>

#include "Frame.h"
#include "TextCodec.h"

using namespace std::chrono_literals;

std::intptr_t CNoteRecorder::SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam)
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Notes.push_back({uMessage, wParam, lParam});
    }
    m_Cond.notify_all();
    return 0;
}

std::vector<CNote> CNoteRecorder::GetNotes() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Notes;
}

bool CNoteRecorder::WaitFor(std::uint32_t uMessage, long nWParam, std::chrono::milliseconds tLimit) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, tLimit, [&] {
        for (const CNote& ANote : m_Notes)
            if (ANote.uMessage == uMessage && (nWParam < 0 || ANote.wParam == static_cast<std::uintptr_t>(nWParam)))
                return true;
        return false;
    });
}

std::vector<std::pair<int, int>> CNoteRecorder::Results() const
{
    std::vector<std::pair<int, int>> Pairs;
    for (const CNote& ANote : GetNotes())
        if (ANote.uMessage == WM_STAGE_RESULT)
            Pairs.emplace_back(static_cast<int>(ANote.wParam), static_cast<int>(ANote.lParam));
    return Pairs;
}

std::vector<int> CNoteRecorder::StageStarts() const
{
    std::vector<int> Stages;
    for (const CNote& ANote : GetNotes())
        if (ANote.uMessage == WM_STAGE_START)
            Stages.push_back(static_cast<int>(ANote.wParam));
    return Stages;
}

CTestDevice::CTestDevice(const std::string& strPortDir, unsigned nCom) : m_Peer(strPortDir, nCom), m_nCom(nCom)
{
    for (std::size_t i = 0; i < kSettingsSize; ++i) {
        SettingsG[i] = static_cast<std::uint8_t>(i + 1);
        SettingsI[i] = static_cast<std::uint8_t>(0x80 + i);
    }
    m_Peer.SetHandler([this](const CBytes& Frame) { return Answer(Frame); });
}

CBytes CTestDevice::Answer(const CBytes& Frame)
{
    const std::uint8_t btCommand = Frame[3];
    const CBytes Payload(Frame.begin() + 4, Frame.end() - 1);
    std::lock_guard<std::mutex> ALock(m_Mutex);
    if (m_bSilent || btCommand == nSilentFromCommand) {
        m_bSilent = true;
        return {};
    }
    const auto Make = CPtyPeer::MakeFrame;
    switch (btCommand) {
    case 0x45:
        if (bShortInfo)
            return Make(0x46, {0x45, Payload[0], 0x00, 0x07, 0x00, 0x08, 0x00});
        return Make(0x46, {0x45, Payload[0], 0x00, 0x7B, 0x00, 0x05, 0x1A, 0x2B});
    case 0x47: {
        CBytes Reply{0x47};
        Reply.insert(Reply.end(), SettingsG.begin(), SettingsG.end());
        return Make(0x48, Reply);
    }
    case 0x49: {
        CBytes Reply{0x49};
        Reply.insert(Reply.end(), SettingsI.begin(), SettingsI.end());
        return Make(0x48, Reply);
    }
    case 0x1C: return Make(0x19, {});
    case 0x06: {
        const std::uint32_t dwAddress = Payload[0] | Payload[1] << 8 | Payload[2] << 16 |
                                        static_cast<std::uint32_t>(Payload[3]) << 24;
        for (std::size_t i = 0; i < Payload[4]; ++i)
            m_Firmware[dwAddress + static_cast<std::uint32_t>(i)] = Payload[5 + i];
        return Make(0x0D, {0x06, 0x02});
    }
    case 0x1A: return Make(0x0D, {0x1A, 0x02});
    case 0x21: return Make(0x22, {});
    case 0x31: return Make(0x32, {});
    case 0x41:
        m_dwRadarSize = Payload[0] | Payload[1] << 8 | Payload[2] << 16 |
                        static_cast<std::uint32_t>(Payload[3]) << 24;
        return Make(0x42, {});
    case 0x23:
    case 0x33:
    case 0x43:
        if (btCommand == 0x23 && bFailFirstBlock.exchange(false))
            return Make(0x24, {0x23, 0x03});
        m_Blocks[btCommand].insert(m_Blocks[btCommand].end(), Payload.begin(), Payload.end());
        return Make(static_cast<std::uint8_t>(btCommand + 1), {btCommand, 0x01});
    case 0x4A:
        m_Settings = Payload;
        return Make(0x4B, {0x4A, 0x01});
    default: return {};
    }
}

std::map<std::uint32_t, std::uint8_t> CTestDevice::Firmware() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Firmware;
}

CBytes CTestDevice::Blocks(std::uint8_t btCommand) const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    const auto it = m_Blocks.find(btCommand);
    return it == m_Blocks.end() ? CBytes{} : it->second;
}

CBytes CTestDevice::WrittenSettings() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Settings;
}

std::uint32_t CTestDevice::AnnouncedRadarSize() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_dwRadarSize;
}

std::vector<std::uint8_t> CTestDevice::CommandsReceived() const
{
    std::vector<std::uint8_t> Commands;
    for (const CBytes& Frame : const_cast<CTestDevice*>(this)->m_Peer.GetFrames())
        Commands.push_back(Frame[3]);
    return Commands;
}

CUpdateFolder::CUpdateFolder()
{
    std::string strTemplate = (std::filesystem::temp_directory_path() / "iap-files-XXXXXX").string();
    if (::mkdtemp(strTemplate.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_Path = strTemplate;
}

CUpdateFolder::~CUpdateFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(m_Path, ec);
}

std::wstring CUpdateFolder::GetFolderText() const
{
    std::wstring str;
    Utf8ToWide(m_Path.string() + "/", str);
    return str;
}

void CUpdateFolder::Write(const std::string& strName, const CBytes& Bytes) const
{
    std::ofstream AFile(m_Path / strName, std::ios::binary);
    AFile.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

void CUpdateFolder::Write(const std::string& strName, const std::string& strText) const
{
    Write(strName, CBytes(strText.begin(), strText.end()));
}

CBytes RandomBytes(std::size_t nCount, unsigned nSeed)
{
    std::mt19937 AGen(nSeed);
    CBytes Bytes(nCount);
    for (std::uint8_t& bt : Bytes)
        bt = static_cast<std::uint8_t>(AGen());
    return Bytes;
}

namespace {
std::string HexRecord(std::uint8_t btType, std::uint16_t uOffset, const CBytes& Data, bool bCrLf)
{
    static const char* const kDigits = "0123456789ABCDEF";
    CBytes Bytes{static_cast<std::uint8_t>(Data.size()), static_cast<std::uint8_t>(uOffset >> 8),
                 static_cast<std::uint8_t>(uOffset), btType};
    Bytes.insert(Bytes.end(), Data.begin(), Data.end());
    std::uint8_t btSum = 0;
    for (std::uint8_t bt : Bytes)
        btSum = static_cast<std::uint8_t>(btSum + bt);
    Bytes.push_back(static_cast<std::uint8_t>(-btSum));
    std::string strLine = ":";
    for (std::uint8_t bt : Bytes) {
        strLine += kDigits[bt >> 4];
        strLine += kDigits[bt & 15];
    }
    return strLine + (bCrLf ? "\r\n" : "\n");
}
} // namespace

std::string MakeHex(std::uint32_t dwBase, const CBytes& Data, const std::string& strTrailer, bool bCrLf)
{
    std::string strHex;
    std::uint32_t dwSegment = 0xFFFFFFFF;
    for (std::size_t i = 0; i < Data.size(); i += 16) {
        const std::uint32_t dwAddress = dwBase + static_cast<std::uint32_t>(i);
        if (dwAddress >> 16 != dwSegment) {
            dwSegment = dwAddress >> 16;
            strHex += HexRecord(4, 0, {static_cast<std::uint8_t>(dwSegment >> 8), static_cast<std::uint8_t>(dwSegment)}, bCrLf);
        }
        const std::size_t n = std::min<std::size_t>(16, Data.size() - i);
        strHex += HexRecord(0, static_cast<std::uint16_t>(dwAddress & 0xFFFF),
                            CBytes(Data.begin() + static_cast<long>(i), Data.begin() + static_cast<long>(i + n)), bCrLf);
    }
    strHex += HexRecord(5, 0, {static_cast<std::uint8_t>(dwBase >> 24), static_cast<std::uint8_t>(dwBase >> 16),
                               static_cast<std::uint8_t>(dwBase >> 8), static_cast<std::uint8_t>(dwBase)}, bCrLf);
    strHex += HexRecord(1, 0, {}, bCrLf);
    return strHex + strTrailer;
}

CEngine::CEngine(CWorkSettings ASettings) { AWork.SetWorkSettings(ASettings); }

CWorkSettings CEngine::Fast()
{
    CWorkSettings ASettings;
    ASettings.dwTaskWait = 300;
    ASettings.dwFirmwarePause = 50;
    ASettings.dwStallTimeout = 1500;
    ASettings.dwSearchRetry = 100;
    return ASettings;
}

void CEngine::Start(const CUpdateFolder& AFolder, std::uint32_t dwPortBound)
{
    AWork.SetNotifyWnd(&ANotes);
    AWork.StartWork(dwPortBound, 256000, AFolder.GetFolderText());
}

bool CEngine::WaitConnected()
{
    if (!ANotes.WaitFor(WM_DEVICE_READY))
        return false;
    const auto tEnd = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < tEnd) {
        int nReads = 0;
        for (const CNote& ANote : ANotes.GetNotes())
            nReads += ANote.uMessage == WM_SETTINGS_READ;
        if (nReads >= 2)
            return true;
        Sleep(5);
    }
    return false;
}

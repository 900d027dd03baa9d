#include "SimDevice.h"

#include <cerrno>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "Frame.h"
#include "Packet_ISP.h"

namespace {

using ASteady = std::chrono::steady_clock;

CSimDevice::CBytes MakeFrame(std::uint8_t btCommand, const CSimDevice::CBytes& Payload)
{
    CPacket_ISP APacket;
    APacket.SetCommand(btCommand, Payload.empty() ? nullptr : Payload.data(),
                       static_cast<std::uint16_t>(Payload.size()));
    return CSimDevice::CBytes(APacket.GetData(), APacket.GetData() + APacket.GetSize());
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

CSimDevice::CSimDevice(CSimOptions AOptions) : m_Options(std::move(AOptions)) {}

CSimDevice::~CSimDevice()
{
    Hangup();
    if (!m_strLink.empty())
        ::unlink(m_strLink.c_str());
    if (m_pLog != nullptr)
        std::fclose(m_pLog);
}

bool CSimDevice::Open(std::string& strError)
{
    termios tio{};
    cfmakeraw(&tio);
    char szName[256] = {};
    if (::openpty(&m_fdMaster, &m_fdSlave, szName, &tio, nullptr) != 0) {
        strError = "cannot open a pseudo-terminal";
        return false;
    }
    m_strSlave = szName;
    const std::string strLink = m_Options.strPortDir + "/COM" + std::to_string(m_Options.nCom);
    ::unlink(strLink.c_str());
    if (::symlink(m_strSlave.c_str(), strLink.c_str()) != 0) {
        strError = "cannot create " + strLink;
        return false;
    }
    m_strLink = strLink;
    if (!m_Options.strRecordDir.empty()) {
        ::mkdir(m_Options.strRecordDir.c_str(), 0755);
        m_pLog = std::fopen((m_Options.strRecordDir + "/frames.log").c_str(), "w");
    }
    m_tStart = m_tLine = ASteady::now();
    return true;
}

void CSimDevice::Log(const char* szDirection, const std::uint8_t* pBytes, std::size_t nCount)
{
    if (m_pLog == nullptr)
        return;
    const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(ASteady::now() - m_tStart).count();
    std::fprintf(m_pLog, "%8lld %s", static_cast<long long>(nMs), szDirection);
    for (std::size_t i = 0; i < nCount; ++i)
        std::fprintf(m_pLog, " %02X", pBytes[i]);
    std::fputc('\n', m_pLog);
    std::fflush(m_pLog);
}

void CSimDevice::PaceBytes(std::size_t nBytes)
{
    if (m_Options.dwBaud == 0)
        return;
    // 10 bits a byte; the line is busy until the last one has gone.
    const auto tBusy = std::chrono::microseconds(nBytes * 10ull * 1000000ull / m_Options.dwBaud);
    m_tLine = std::max(m_tLine, ASteady::now()) + tBusy;
    std::this_thread::sleep_until(m_tLine);
}

void CSimDevice::WriteAnswer(const CBytes& Frame)
{
    if (Frame.empty() || m_fdMaster < 0)
        return;
    if (m_Options.dwAnswerDelayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_Options.dwAnswerDelayMs));
    if (m_Options.bNoise) {
        CBytes Noise(1 + m_nNoiseSeed % 7);
        for (std::uint8_t& bt : Noise) {
            m_nNoiseSeed = m_nNoiseSeed * 1103515245u + 12345u;
            bt = static_cast<std::uint8_t>(m_nNoiseSeed >> 16);
            if (bt == 0xAC)  // never the start of a frame
                bt = 0x55;
        }
        PaceBytes(Noise.size());
        (void)!::write(m_fdMaster, Noise.data(), Noise.size());
    }
    PaceBytes(Frame.size());
    Log("out", Frame.data(), Frame.size());
    if (m_Options.bTearAnswers) {
        for (std::uint8_t bt : Frame) {
            (void)!::write(m_fdMaster, &bt, 1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return;
    }
    std::size_t nDone = 0;
    while (nDone < Frame.size()) {
        const ssize_t n = ::write(m_fdMaster, Frame.data() + nDone, Frame.size() - nDone);
        if (n > 0)
            nDone += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return;
    }
}

CSimDevice::CBytes CSimDevice::Answer(const CRawString& strFrame)
{
    const std::uint8_t btCommand = strFrame.At(3);
    const std::uint8_t* pPayload = strFrame.GetData() + 4;
    const auto nPayload = static_cast<std::size_t>(strFrame.GetLength() - 5);
    std::lock_guard<std::mutex> ALock(m_Mutex);
    switch (btCommand) {
    case 0x45: {
        const std::uint8_t btPort = nPayload > 0 ? pPayload[0] : 0;
        if (!m_bProbed) {
            m_bProbed = true;
            if (m_Options.bProbeFourBytes)
                return {0xAC, 0x05, 0x00, 0x46};
            if (m_Options.bProbeOtherCommand)
                return MakeFrame(0x47, {0x45});
        }
        if (m_Options.bProbeFourBytes || m_Options.bProbeOtherCommand)
            m_bProbed = false;  // every probe is answered the same broken way
        const auto V = [](std::uint16_t u) { return std::pair<std::uint8_t, std::uint8_t>(u >> 8, u & 0xFF); };
        const auto [f1, f2] = V(m_Options.uFirmwareVersion);
        const auto [d1, d2] = V(m_Options.uDataVersion);
        const auto [r1, r2] = V(m_Options.uRadarVersion);
        return MakeFrame(0x46, {0x45, btPort, f1, f2, d1, d2, r1, r2});
    }
    case 0x47:
    case 0x49: {
        if (m_Options.bNoMenu)
            return {};
        const auto& ABlock = btCommand == 0x47 ? m_Options.SettingsG : m_Options.SettingsI;
        CBytes Reply{btCommand};
        Reply.insert(Reply.end(), ABlock.begin(), ABlock.end());
        return MakeFrame(0x48, Reply);
    }
    case 0x1C:
        m_Firmware.clear();
        m_nBlockIndex[0x06] = 0;
        if (m_Options.bAcceptProjectFirst) {
            CBytes Both = MakeFrame(0x1C, {});
            const CBytes Go = MakeFrame(0x19, {});
            Both.insert(Both.end(), Go.begin(), Go.end());
            return Both;
        }
        return MakeFrame(0x19, {});
    case 0x06: {
        if (nPayload < 5 || nPayload < 5u + pPayload[4])
            return MakeFrame(0x0D, {0x06, 0x07});
        const long nIndex = m_nBlockIndex[0x06]++;
        if (nIndex == m_Options.nFailBlock && !m_bFailedOnce[0x06]) {
            m_bFailedOnce[0x06] = true;
            --m_nBlockIndex[0x06];
            return MakeFrame(0x0D, {0x06, 0x03});
        }
        const std::uint32_t dwAddress = Le32(pPayload);
        for (std::size_t i = 0; i < pPayload[4]; ++i)
            m_Firmware[dwAddress + static_cast<std::uint32_t>(i)] = pPayload[5 + i];
        return MakeFrame(0x0D, {0x06, 0x02});
    }
    case 0x1A: return MakeFrame(0x0D, {0x1A, 0x02});
    case 0x21:
    case 0x31:
    case 0x41:
        m_Images[btCommand].clear();
        m_nBlockIndex[static_cast<std::uint8_t>(btCommand + 2)] = 0;
        if (btCommand == 0x41)
            m_dwRadarSize = nPayload >= 4 ? Le32(pPayload) : 0;
        return MakeFrame(static_cast<std::uint8_t>(btCommand + 1), {});
    case 0x23:
    case 0x33:
    case 0x43: {
        const long nIndex = m_nBlockIndex[btCommand]++;
        const std::uint8_t btAnswer = static_cast<std::uint8_t>(btCommand + 1);
        if (nIndex == m_Options.nFailBlock && !m_bFailedOnce[btCommand]) {
            m_bFailedOnce[btCommand] = true;
            --m_nBlockIndex[btCommand];
            return MakeFrame(btAnswer, {btCommand, 0x03});
        }
        CBytes& AImage = m_Images[static_cast<std::uint8_t>(btCommand - 2)];
        AImage.insert(AImage.end(), pPayload, pPayload + nPayload);
        return MakeFrame(btAnswer, {btCommand, 0x01});
    }
    case 0x4A:
        m_Settings.assign(pPayload, pPayload + nPayload);
        return MakeFrame(0x4B, {0x4A, 0x01});
    default:
        return {};  // 0x20, 0x30, 0x40, the host's 0x0D: nothing to answer
    }
}

void CSimDevice::Record(std::uint8_t btCommand)
{
    if (m_Options.strRecordDir.empty())
        return;
    const std::string strDir = m_Options.strRecordDir + "/";
    const auto WriteFile = [](const std::string& strPath, const CBytes& Bytes) {
        std::ofstream AFile(strPath, std::ios::binary);
        AFile.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
    };
    std::lock_guard<std::mutex> ALock(m_Mutex);
    switch (btCommand) {
    case 0x1A: {
        CBytes Flash;
        std::ofstream AMap(strDir + "firmware.map");
        if (!m_Firmware.empty()) {
            const std::uint32_t dwLow = m_Firmware.begin()->first;
            std::uint32_t dwRangeStart = dwLow;
            std::uint32_t dwPrev = dwLow;
            for (const auto& [dwAddress, bt] : m_Firmware) {
                if (dwAddress != dwPrev && dwAddress != dwPrev + 1) {
                    AMap << std::hex << "0x" << dwRangeStart << "-0x" << dwPrev << "\n";
                    dwRangeStart = dwAddress;
                }
                Flash.resize(dwAddress - dwLow + 1, 0xFF);
                Flash[dwAddress - dwLow] = bt;
                dwPrev = dwAddress;
            }
            AMap << std::hex << "0x" << dwRangeStart << "-0x" << dwPrev << "\n";
        }
        WriteFile(strDir + "firmware.bin", Flash);
        break;
    }
    case 0x20: WriteFile(strDir + "flagdata.bin", m_Images[0x21]); break;
    case 0x30: WriteFile(strDir + "audioHead.bin", m_Images[0x31]); break;
    case 0x40: {
        WriteFile(strDir + "rdfw.bin", m_Images[0x41]);
        std::ofstream ASize(strDir + "rdfw.size");
        ASize << "announced " << m_dwRadarSize << " received " << m_Images[0x41].size()
              << (m_dwRadarSize == m_Images[0x41].size() ? " match\n" : " MISMATCH\n");
        break;
    }
    case 0x4A: WriteFile(strDir + "settings.bin", m_Settings); break;
    default: break;
    }
}

void CSimDevice::Handle(const CRawString& strFrame)
{
    const std::uint8_t btCommand = strFrame.At(3);
    Log("in ", strFrame.GetData(), static_cast<std::size_t>(strFrame.GetLength()));
    const long nFrame = ++m_nFrames;
    PaceBytes(static_cast<std::size_t>(strFrame.GetLength()));
    if (m_Options.nStopAfter >= 0 && (m_Options.nStopCommand < 0 || m_Options.nStopCommand == btCommand) &&
        ++m_nCounted > m_Options.nStopAfter)
        m_bSilenced = true;
    if (m_Options.nHangupAfter >= 0 && nFrame > m_Options.nHangupAfter) {
        Hangup();
        return;
    }
    // A device that stopped answering has stopped working: it keeps nothing.
    if (m_Options.bSilent || m_bSilenced)
        return;
    const CBytes AAnswer = Answer(strFrame);
    if (btCommand == 0x1A || btCommand == 0x20 || btCommand == 0x30 || btCommand == 0x40 || btCommand == 0x4A)
        Record(btCommand);
    WriteAnswer(AAnswer);
    if (nFrame == m_Options.nRequestAt)
        WriteAnswer(MakeFrame(0x1B, {}));
}

void CSimDevice::Hangup()
{
    if (m_fdMaster >= 0)
        ::close(m_fdMaster);
    if (m_fdSlave >= 0)
        ::close(m_fdSlave);
    m_fdMaster = m_fdSlave = -1;
}

void CSimDevice::Serve()
{
    std::uint8_t btBuf[8192];
    while (!m_bStop && m_fdMaster >= 0) {
        pollfd pfd{m_fdMaster, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0 || !(pfd.revents & POLLIN))
            continue;
        const ssize_t n = ::read(m_fdMaster, btBuf, sizeof btBuf);
        if (n <= 0)
            continue;
        std::vector<CRawString> Frames;
        const std::int32_t nBefore = m_strReceive.GetLength() + static_cast<std::int32_t>(n);
        std::int32_t nFramed = 0;
        CutFrames(m_strReceive, {btBuf, static_cast<std::size_t>(n)},
                  [&](const CRawString& strFrame) {
                      nFramed += strFrame.GetLength();
                      Frames.push_back(strFrame);
                  },
                  &FindFrameWide);
        // Bytes that left the buffer without being part of a frame.
        m_nIgnored += nBefore - nFramed - m_strReceive.GetLength();
        for (const CRawString& strFrame : Frames) {
            if (m_fdMaster < 0)
                break;
            Handle(strFrame);
        }
    }
}

std::map<std::uint32_t, std::uint8_t> CSimDevice::GetFirmware() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Firmware;
}

CSimDevice::CBytes CSimDevice::GetImage(std::uint8_t btStageStart) const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    const auto it = m_Images.find(btStageStart);
    return it == m_Images.end() ? CBytes{} : it->second;
}

std::uint32_t CSimDevice::GetAnnouncedRadarSize() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_dwRadarSize;
}

CSimDevice::CBytes CSimDevice::GetSettings() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Settings;
}

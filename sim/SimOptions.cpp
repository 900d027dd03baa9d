#include "SimOptions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

// Decimal, or hexadecimal with 0x.
bool ParseNumber(const std::string& strText, std::uint64_t dwMax, std::uint64_t& dwOut)
{
    if (strText.empty() || !std::isdigit(static_cast<unsigned char>(strText[0])))
        return false;
    errno = 0;
    char* pEnd = nullptr;
    const unsigned long long dwValue = std::strtoull(strText.c_str(), &pEnd, 0);
    if (errno != 0 || pEnd == nullptr || *pEnd != '\0' || dwValue > dwMax)
        return false;
    dwOut = dwValue;
    return true;
}

template <class T>
bool ParseInto(const std::string& strText, std::uint64_t dwMin, std::uint64_t dwMax, T& Out)
{
    std::uint64_t dwValue = 0;
    if (!ParseNumber(strText, dwMax, dwValue) || dwValue < dwMin)
        return false;
    Out = static_cast<T>(dwValue);
    return true;
}

std::vector<std::string> SplitColons(const std::string& strText)
{
    std::vector<std::string> Parts(1);
    for (const char ch : strText) {
        if (ch == ':')
            Parts.emplace_back();
        else
            Parts.back() += ch;
    }
    return Parts;
}

// N or N:CMD.
bool ParsePoint(const std::string& strText, std::uint32_t nMin, CFramePoint& APoint)
{
    const std::vector<std::string> Parts = SplitColons(strText);
    if (Parts.size() > 2 || !ParseInto(Parts[0], nMin, 0x7FFFFFFFu, APoint.nCount))
        return false;
    APoint.Command.reset();
    if (Parts.size() == 2) {
        std::uint8_t btCommand = 0;
        if (!ParseInto(Parts[1], 1, 0xFF, btCommand))
            return false;
        APoint.Command = btCommand;
    }
    return true;
}

// CMD:K or CMD:K:STATUS.
bool ParseFailBlock(const std::string& strText, CFailBlock& ABlock)
{
    const std::vector<std::string> Parts = SplitColons(strText);
    if (Parts.size() < 2 || Parts.size() > 3 || !ParseInto(Parts[0], 0, 0xFF, ABlock.btCommand) ||
        !ParseInto(Parts[1], 1, 0xFFFFFFFFu, ABlock.nBlock))
        return false;
    if (ABlock.btCommand != 0x06 && ABlock.btCommand != 0x23 && ABlock.btCommand != 0x33 &&
        ABlock.btCommand != 0x43)
        return false;
    ABlock.btStatus = 3;
    if (Parts.size() == 3 && !ParseInto(Parts[2], 0, 0xFF, ABlock.btStatus))
        return false;
    return true;
}

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// 146 hex digits (spaces, colons and dashes between them are fine), or
// @FILE naming a file of exactly 73 bytes.
bool ParseSettings(const std::string& strText, CSimSettings& ASettings, std::string& strError)
{
    std::vector<std::uint8_t> btBytes;
    if (!strText.empty() && strText[0] == '@') {
        std::ifstream AFile(strText.substr(1), std::ios::binary);
        if (!AFile) {
            strError = "cannot read " + strText.substr(1);
            return false;
        }
        btBytes.assign(std::istreambuf_iterator<char>(AFile), std::istreambuf_iterator<char>());
    } else {
        int nHigh = -1;
        for (const char ch : strText) {
            if (ch == ' ' || ch == ':' || ch == '-')
                continue;
            const int nDigit = HexDigit(ch);
            if (nDigit < 0) {
                strError = "settings: not a hex digit: " + std::string(1, ch);
                return false;
            }
            if (nHigh < 0) {
                nHigh = nDigit;
            } else {
                btBytes.push_back(static_cast<std::uint8_t>(nHigh << 4 | nDigit));
                nHigh = -1;
            }
        }
        if (nHigh >= 0) {
            strError = "settings: odd number of hex digits";
            return false;
        }
    }
    if (btBytes.size() != kSimSettingsSize) {
        strError = "settings: " + std::to_string(btBytes.size()) + " bytes, not 73";
        return false;
    }
    std::copy(btBytes.begin(), btBytes.end(), ASettings.begin());
    return true;
}

} // namespace

CSimSettings CSimOptions::DefaultSettingsG()
{
    // Every choice of the menu at its first or second item, alternating, so
    // a settings dialog shows a menu that is neither all on nor all off.
    CSimSettings ASettings{};
    for (std::size_t i = 0; i < ASettings.size(); ++i)
        ASettings[i] = static_cast<std::uint8_t>(i % 2);
    return ASettings;
}

CSimSettings CSimOptions::DefaultSettingsI()
{
    CSimSettings ASettings{};
    for (std::size_t i = 0; i < ASettings.size(); ++i)
        ASettings[i] = static_cast<std::uint8_t>((i + 1) % 2);
    return ASettings;
}

namespace {

bool SetVersion(const std::string& strValue, std::optional<std::uint16_t>& Version)
{
    std::uint16_t uVersion = 0;
    if (!ParseInto(strValue, 0, 0xFFFF, uVersion))
        return false;
    Version = uVersion;
    return true;
}

bool SetSettings(const std::string& strName, const std::string& strValue, CSimSettings& ASettings,
                 std::string& strError)
{
    if (ParseSettings(strValue, ASettings, strError))
        return true;
    strError.insert(0, ": ").insert(0, strName);
    return false;
}

// CMD:N or CMD:N:CMD2: the command, then the point.
bool AddUnsolicited(const std::string& strValue, CSimOptions& A)
{
    CUnsolicited AFrame;
    const std::size_t nColon = strValue.find(':');
    A.Unsolicited.push_back(AFrame);
    return nColon != std::string::npos &&
           ParseInto(strValue.substr(0, nColon), 1, 0xFF, A.Unsolicited.back().btCommand) &&
           ParsePoint(strValue.substr(nColon + 1), 1, A.Unsolicited.back().At);
}

bool SetPoint(const std::string& strValue, std::uint32_t nMin, long& nCount, int& nCommand)
{
    CFramePoint APoint;
    const bool bOk = ParsePoint(strValue, nMin, APoint);
    nCount = APoint.nCount;
    nCommand = APoint.Command ? *APoint.Command : -1;
    return bOk;
}

// The options without a value; false for any other name.
bool ParseSwitch(const std::string& strName, CSimOptions& A)
{
    if (strName == "--accept-project-start")
        A.bAcceptProjectStart = true;
    else if (strName == "--silent")
        A.bSilent = true;
    else if (strName == "--probe-short")
        A.eProbeFault = EProbeFault::Short;
    else if (strName == "--no-menu")
        A.bNoMenu = true;
    else
        return false;
    return true;
}

// The options with a value: each sets its own field and answers whether
// the value is one it takes (strError, when set, says more).
using AValueOption = bool (*)(const std::string& strName, const std::string& v, CSimOptions& A, std::string& strError);
const std::pair<const char*, AValueOption> kValueOptions[] = {
    {"--port-dir", [](auto&, auto& v, auto& A, auto&) { return !(A.strPortDir = v).empty(); }},
    {"--com", [](auto&, auto& v, auto& A, auto&) { return ParseInto(v, 1, 255, A.nCom); }},
    {"--firmware-version", [](auto&, auto& v, auto& A, auto&) { return ParseInto(v, 0, 0xFFFF, A.uFirmwareVersion); }},
    {"--data-version", [](auto&, auto& v, auto& A, auto&) { return ParseInto(v, 0, 0xFFFF, A.uDataVersion); }},
    {"--radar-version", [](auto&, auto& v, auto& A, auto&) { return ParseInto(v, 0, 0xFFFF, A.uRadarVersion); }},
    {"--firmware-version-after", [](auto&, auto& v, auto& A, auto&) { return SetVersion(v, A.FirmwareVersionAfter); }},
    {"--data-version-after", [](auto&, auto& v, auto& A, auto&) { return SetVersion(v, A.DataVersionAfter); }},
    {"--radar-version-after", [](auto&, auto& v, auto& A, auto&) { return SetVersion(v, A.RadarVersionAfter); }},
    {"--settings-g", [](auto& n, auto& v, auto& A, auto& e) { return SetSettings(n, v, A.SettingsG, e); }},
    {"--settings-i", [](auto& n, auto& v, auto& A, auto& e) { return SetSettings(n, v, A.SettingsI, e); }},
    {"--record", [](auto&, auto& v, auto& A, auto&) { return !(A.strRecordDir = v).empty(); }},
    {"--baud", [](auto&, auto& v, auto& A, auto&) { return ParseInto(v, 50, 100000000, A.dwBaud); }},
    {"--answer-delay-ms",
     [](auto&, auto& v, auto& A, auto&) {
         long nDelay = 0;
         return SetPoint(v, 0, nDelay, A.nAnswerDelayCommand) && nDelay <= 600000 &&
                (A.dwAnswerDelayMs = static_cast<std::uint32_t>(nDelay), true);
     }},
    {"--seed", [](auto&, auto& v, auto& A, auto&) { return ParseInto(v, 0, 0xFFFFFFFFu, A.dwSeed); }},
    {"--probe-command",
     [](auto&, auto& v, auto& A, auto&) {
         A.eProbeFault = EProbeFault::OtherCommand;
         return ParseInto(v, 1, 0xFF, A.btProbeCommand) && A.btProbeCommand != 0x46;
     }},
    {"--lose-info",
     [](auto&, auto& v, auto& A, auto&) {
         return v == "all" ? (A.nLoseInfo = -1, true) : ParseInto(v, 1, 0x7FFFFFFF, A.nLoseInfo);
     }},
    {"--probe-fault-times", [](auto&, auto& v, auto& A, auto&) { return ParseInto(v, 1, 0xFFFFFFFFu, A.nProbeFaultTimes); }},
    {"--stop-after", [](auto&, auto& v, auto& A, auto&) { return SetPoint(v, 0, A.nStopAfter, A.nStopCommand); }},
    {"--hangup-after", [](auto&, auto& v, auto& A, auto&) { return SetPoint(v, 1, A.nHangupAfter, A.nHangupCommand); }},
    {"--fail-block",
     [](auto&, auto& v, auto& A, auto&) { return ParseFailBlock(v, A.FailBlocks.emplace_back()); }},
    {"--tear",
     [](auto&, auto& v, auto& A, auto&) {
         A.eTear = v == "bytes" ? ETear::Bytes : v == "random" ? ETear::Random : ETear::None;
         return A.eTear != ETear::None;
     }},
    {"--tear-gap-us", [](auto&, auto& v, auto& A, auto&) { return ParseInto(v, 0, 1000000, A.dwTearGapUs); }},
    {"--noise", [](auto&, auto& v, auto& A, auto&) { return ParseInto(v, 1, 255, A.nNoiseMax); }},
    {"--device-request",
     [](auto&, auto& v, auto& A, auto&) { return ParsePoint(v, 1, A.DeviceRequests.emplace_back()); }},
    {"--unsolicited", [](auto&, auto& v, auto& A, auto&) { return AddUnsolicited(v, A); }},
};

bool ParseValue(const std::string& strName, const std::string& strValue, CSimOptions& AOptions, std::string& strError)
{
    const auto It = std::find_if(std::begin(kValueOptions), std::end(kValueOptions),
                                 [&](const auto& A) { return strName == A.first; });
    if (It == std::end(kValueOptions)) {
        strError = "unknown option " + strName + " (see --help)";
        return false;
    }
    if (It->second(strName, strValue, AOptions, strError))
        return true;
    if (strError.empty())
        strError = std::string("bad value for ").append(strName).append(": ").append(strValue);
    return false;
}

} // namespace

CSimOptions::EParse CSimOptions::Parse(std::span<const std::string> Args, CSimOptions& Options,
                                       std::string& strError)
{
    CSimOptions AOptions;
    if (const char* szDir = std::getenv("IAP_PORT_DIR"))
        AOptions.strPortDir = szDir;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& strName = Args[i];
        if (strName == "--help" || strName == "-h")
            return EParse::Help;
        if (strName == "--version")
            return EParse::Version;
        if (ParseSwitch(strName, AOptions))
            continue;
        if (i + 1 >= Args.size()) {
            strError = strName.rfind("--", 0) == 0 ? strName + " needs a value" : "unexpected argument " + strName;
            return EParse::Error;
        }
        if (!ParseValue(strName, Args[++i], AOptions, strError))
            return EParse::Error;
    }
    if (AOptions.strPortDir.empty()) {
        strError = "no port folder: give --port-dir DIR or set IAP_PORT_DIR";
        return EParse::Error;
    }
    if (AOptions.nCom == 0) {
        strError = "no port number: give --com N";
        return EParse::Error;
    }
    Options = std::move(AOptions);
    return EParse::Run;
}

std::string CSimOptions::GetHelpText()
{
    return R"(Usage: iap-sim --port-dir DIR --com N [options]

A virtual radar detector on a pseudo-terminal. It creates DIR/COM<N> as a
link to the terminal's slave side, prints one line naming it, answers the
update protocol as a healthy device would and keeps what it is sent. It runs
until SIGINT or SIGTERM, which remove the link again.

Numbers are decimal, or hexadecimal with 0x (commands: 0x23).

Port:
  --port-dir DIR           folder of the COM<N> links (default: $IAP_PORT_DIR)
  --com N                  port number, 1 to 255
  -h, --help               this text
  --version                the program's version

The device:
  --firmware-version V     firmware version reported in 0x46 (default 0x0102)
  --data-version V         camera-database version in 0x46 (default 0x0003)
  --radar-version V        radar version in 0x46 (default 0x1a2b)
  --firmware-version-after V
                           firmware version in 0x46 once a firmware stage
                           ended (default: the version its 0x1C was sent)
  --data-version-after V   camera-database version in 0x46 once a camera
                           database stage ended (default: unchanged)
  --radar-version-after V  radar version in 0x46 once a radar stage ended
                           (default: unchanged)
  --settings-g HEX|@FILE   settings block G answered to 0x47: 146 hex digits
                           (spaces, ':' and '-' allowed between them) or a
                           file of 73 bytes; a 0x4A write replaces it
  --settings-i HEX|@FILE   settings block I answered to 0x49
  --accept-project-start   answer 0x1C with 0x1C first, then with 0x19

Recording and timing:
  --record DIR             write what the device now holds into DIR as each
                           stage ends: firmware.bin (from the lowest address,
                           gaps 0xFF) and firmware.map on 0x1A, flagdata.bin
                           on 0x20, audioHead.bin on 0x30, rdfw.bin and
                           rdfw.size (did the size of 0x41 match?) on 0x40,
                           settings.bin on 0x4A; frames.log, every frame in
                           (rx) and out (tx), the bytes that made no frame
                           (bad) and the noise, with a millisecond time
                           stamp, as it happens
  --baud B                 pace the line at B baud, 10 bits a byte in both
                           directions (default: no pacing)
  --answer-delay-ms D[:CMD]
                           the device works D ms before each answer (to
                           CMD only, when it is given)
  --seed S                 seed of torn answers and noise (default 1)

Faults:
  --silent                 answer nothing at all
  --probe-short            answer 0x45 with the first 4 bytes of its 0x46
  --probe-command CMD      answer 0x45 with a frame of CMD instead of 0x46
  --probe-fault-times N    only the first N 0x45 get the probe fault
  --lose-info N|all        each time the port is opened, answer the probe (the
                           first 0x45) and lose the answers to the next N 0x45
                           (or to all of them), as a line that drops them
  --stop-after N[:CMD]     answer N frames (or N frames of CMD), then nothing;
                           from then on nothing more is stored either
  --fail-block CMD:K[:S]   answer block K of the stage of CMD (0x06, 0x23,
                           0x33 or 0x43, counted from the stage's start
                           command) once with status S (default 3) and do not
                           store it; may be given more than once
  --no-menu                never answer 0x47 or 0x49
  --tear bytes|random      write answers one byte at a time, or in random
                           chunks, --tear-gap-us apart (default 200)
  --tear-gap-us U          pause between the pieces of a torn answer
  --noise N                after each frame sent, 1 to N random bytes; noise
                           never holds 0xAC, so it can never start a frame
  --hangup-after N[:CMD]   after the N-th frame (of CMD) is answered and read,
                           close the terminal and remove the link, as an
                           unplugged device; the program then ends
  --device-request N[:CMD] send the device request 0x1B after answering the
                           N-th frame (of CMD); may be given more than once
  --unsolicited CMD:N[:C]  send a frame of CMD, without payload, after
                           answering the N-th frame (of C): 0x13, 0x50 or
                           any other frame a host did not ask for; may be
                           given more than once

Frames are counted as they arrive, the probe included.
)";
}

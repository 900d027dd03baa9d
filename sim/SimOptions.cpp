#include "SimOptions.h"

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

CSimOptions::EParse CSimOptions::Parse(std::span<const std::string> Args, CSimOptions& Options,
                                       std::string& strError)
{
    CSimOptions AOptions;
    if (const char* szDir = std::getenv("IAP_PORT_DIR"))
        AOptions.strPortDir = szDir;
    bool bComGiven = false;

    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& strName = Args[i];
        if (strName == "--help" || strName == "-h")
            return EParse::Help;
        if (strName == "--version")
            return EParse::Version;

        // Switches without a value.
        if (strName == "--accept-project-start") {
            AOptions.bAcceptProjectStart = true;
            continue;
        }
        if (strName == "--silent") {
            AOptions.bSilent = true;
            continue;
        }
        if (strName == "--probe-short") {
            AOptions.eProbeFault = EProbeFault::Short;
            continue;
        }
        if (strName == "--no-menu") {
            AOptions.bNoMenu = true;
            continue;
        }

        if (i + 1 >= Args.size()) {
            strError = strName.rfind("--", 0) == 0 ? strName + " needs a value"
                                                   : "unexpected argument " + strName;
            return EParse::Error;
        }
        const std::string& strValue = Args[++i];
        bool bOk = true;
        if (strName == "--port-dir") {
            AOptions.strPortDir = strValue;
            bOk = !strValue.empty();
        } else if (strName == "--com") {
            bOk = ParseInto(strValue, 1, 255, AOptions.nCom);
            bComGiven = bOk;
        } else if (strName == "--firmware-version") {
            bOk = ParseInto(strValue, 0, 0xFFFF, AOptions.uFirmwareVersion);
        } else if (strName == "--data-version") {
            bOk = ParseInto(strValue, 0, 0xFFFF, AOptions.uDataVersion);
        } else if (strName == "--radar-version") {
            bOk = ParseInto(strValue, 0, 0xFFFF, AOptions.uRadarVersion);
        } else if (strName == "--firmware-version-after" || strName == "--data-version-after" ||
                   strName == "--radar-version-after") {
            std::uint16_t uVersion = 0;
            bOk = ParseInto(strValue, 0, 0xFFFF, uVersion);
            (strName[2] == 'f' ? AOptions.FirmwareVersionAfter
                               : strName[2] == 'd' ? AOptions.DataVersionAfter : AOptions.RadarVersionAfter) = uVersion;
        } else if (strName == "--settings-g" || strName == "--settings-i") {
            CSimSettings& ASettings = strName == "--settings-g" ? AOptions.SettingsG : AOptions.SettingsI;
            if (!ParseSettings(strValue, ASettings, strError)) {
                strError.insert(0, ": ").insert(0, strName);
                return EParse::Error;
            }
        } else if (strName == "--record") {
            AOptions.strRecordDir = strValue;
            bOk = !strValue.empty();
        } else if (strName == "--baud") {
            bOk = ParseInto(strValue, 50, 100000000, AOptions.dwBaud);
        } else if (strName == "--answer-delay-ms") {
            bOk = ParseInto(strValue, 0, 600000, AOptions.dwAnswerDelayMs);
        } else if (strName == "--seed") {
            bOk = ParseInto(strValue, 0, 0xFFFFFFFFu, AOptions.dwSeed);
        } else if (strName == "--probe-command") {
            AOptions.eProbeFault = EProbeFault::OtherCommand;
            bOk = ParseInto(strValue, 1, 0xFF, AOptions.btProbeCommand) && AOptions.btProbeCommand != 0x46;
        } else if (strName == "--lose-info") {
            if (strValue == "all")
                AOptions.nLoseInfo = -1;
            else
                bOk = ParseInto(strValue, 1, 0x7FFFFFFF, AOptions.nLoseInfo);
        } else if (strName == "--probe-fault-times") {
            bOk = ParseInto(strValue, 1, 0xFFFFFFFFu, AOptions.nProbeFaultTimes);
        } else if (strName == "--stop-after") {
            CFramePoint APoint;
            bOk = ParsePoint(strValue, 0, APoint);
            AOptions.nStopAfter = APoint.nCount;
            AOptions.nStopCommand = APoint.Command ? *APoint.Command : -1;
        } else if (strName == "--fail-block") {
            CFailBlock ABlock;
            bOk = ParseFailBlock(strValue, ABlock);
            AOptions.FailBlocks.push_back(ABlock);
        } else if (strName == "--tear") {
            if (strValue == "bytes")
                AOptions.eTear = ETear::Bytes;
            else if (strValue == "random")
                AOptions.eTear = ETear::Random;
            else
                bOk = false;
        } else if (strName == "--tear-gap-us") {
            bOk = ParseInto(strValue, 0, 1000000, AOptions.dwTearGapUs);
        } else if (strName == "--noise") {
            bOk = ParseInto(strValue, 1, 255, AOptions.nNoiseMax);
        } else if (strName == "--hangup-after") {
            CFramePoint APoint;
            bOk = ParsePoint(strValue, 1, APoint);
            AOptions.nHangupAfter = APoint.nCount;
            AOptions.nHangupCommand = APoint.Command ? *APoint.Command : -1;
        } else if (strName == "--device-request") {
            CFramePoint APoint;
            bOk = ParsePoint(strValue, 1, APoint);
            AOptions.DeviceRequests.push_back(APoint);
        } else if (strName == "--unsolicited") {
            // CMD:N or CMD:N:CMD2: the command, then the point.
            CUnsolicited AFrame;
            const std::size_t nColon = strValue.find(':');
            bOk = nColon != std::string::npos && ParseInto(strValue.substr(0, nColon), 1, 0xFF, AFrame.btCommand) &&
                  ParsePoint(strValue.substr(nColon + 1), 1, AFrame.At);
            AOptions.Unsolicited.push_back(AFrame);
        } else {
            strError = "unknown option " + strName + " (see --help)";
            return EParse::Error;
        }
        if (!bOk) {
            strError = std::string("bad value for ").append(strName).append(": ").append(strValue);
            return EParse::Error;
        }
    }
    if (AOptions.strPortDir.empty()) {
        strError = "no port folder: give --port-dir DIR or set IAP_PORT_DIR";
        return EParse::Error;
    }
    if (!bComGiven) {
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
  --answer-delay-ms D      the device works D ms before each answer
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

#include "SimOptions.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include <CLI/CLI.hpp>

namespace {

// A number as CLI11 reads every option's: decimal, or hexadecimal with 0x.
template <class T>
bool ParseInto(const std::string& strText, std::uint64_t uMin, std::uint64_t uMax, T& Out)
{
    std::uint64_t uValue = 0;
    if (!CLI::detail::lexical_cast(strText, uValue) || uValue < uMin || uValue > uMax)
        return false;
    Out = static_cast<T>(uValue);
    return true;
}

std::vector<std::string> SplitColons(const std::string& strText)
{
    // A value that ends in a colon lacks its last part.
    return strText.ends_with(':') ? std::vector<std::string>{} : CLI::detail::split(strText, ':');
}

// N or N:CMD.
bool ParsePoint(const std::string& strText, std::uint32_t nMin, CFramePoint& APoint)
{
    const std::vector<std::string> Parts = SplitColons(strText);
    std::uint8_t btCommand = 0;
    if (Parts.empty() || Parts.size() > 2 || !ParseInto(Parts[0], nMin, 0x7FFFFFFFu, APoint.nCount) ||
        (Parts.size() == 2 && !ParseInto(Parts[1], 1, 0xFF, btCommand)))
        return false;
    APoint.Command = Parts.size() == 2 ? std::optional<std::uint8_t>(btCommand) : std::nullopt;
    return true;
}

// CMD:K or CMD:K:STATUS, for a stage's block command.
bool ParseFailBlock(const std::string& strText, CFailBlock& ABlock)
{
    const std::vector<std::string> Parts = SplitColons(strText);
    const std::uint8_t kBlockCommands[] = {0x06, 0x23, 0x33, 0x43};
    return Parts.size() >= 2 && Parts.size() <= 3 && ParseInto(Parts[0], 0, 0xFF, ABlock.btCommand) &&
           std::find(std::begin(kBlockCommands), std::end(kBlockCommands), ABlock.btCommand) !=
               std::end(kBlockCommands) &&
           ParseInto(Parts[1], 1, 0xFFFFFFFFu, ABlock.nBlock) &&
           (Parts.size() == 2 || ParseInto(Parts[2], 0, 0xFF, ABlock.btStatus));
}

// 146 hex digits (spaces, colons and dashes between them are fine), or
// @FILE naming a file of exactly 73 bytes. Answers what is wrong, or "".
std::string ParseSettings(const std::string& strText, CSimSettings& ASettings)
{
    std::string strBytes;
    if (strText.starts_with('@')) {
        std::ifstream AFile(strText.substr(1), std::ios::binary);
        if (!AFile)
            return "cannot read " + strText.substr(1);
        strBytes.assign(std::istreambuf_iterator<char>(AFile), std::istreambuf_iterator<char>());
    } else {
        std::string strDigits;
        std::copy_if(strText.begin(), strText.end(), std::back_inserter(strDigits),
                     [](char ch) { return ch != ' ' && ch != ':' && ch != '-'; });
        if (strDigits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos || strDigits.size() % 2 != 0)
            return "not pairs of hex digits";
        for (std::size_t i = 0; i < strDigits.size(); i += 2)
            strBytes += static_cast<char>(std::stoi(strDigits.substr(i, 2), nullptr, 16));
    }
    if (strBytes.size() != kSimSettingsSize)
        return std::to_string(strBytes.size()) + " bytes, not 73";
    std::copy(strBytes.begin(), strBytes.end(), ASettings.begin());
    return "";
}

// An option whose value Store turns into fields of the options; it may be
// given more than once. Store answers what is wrong with a value, or "".
using AStore = std::function<std::string(const std::string&)>;
CLI::Option* AddStored(CLI::App& AApp, const std::string& strName, const char* szType, const char* szHelp,
                       const AStore& Store)
{
    const auto Apply = [strName, Store](const std::vector<std::string>& Values) {
        for (const std::string& strValue : Values)
            if (const std::string strWrong = Store(strValue); !strWrong.empty())
                throw CLI::ValidationError(strName, strWrong);
    };
    return AApp.add_option_function<std::vector<std::string>>(strName, Apply, szHelp)
        ->type_name(szType)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

std::string Refused(bool bTaken, const std::string& strValue) { return bTaken ? "" : "bad value " + strValue; }

template <class T>
AStore StorePoint(std::uint32_t nMin, std::uint32_t nMax, T& nCount, int& nCommand)
{
    return [nMin, nMax, &nCount, &nCommand](const std::string& v) {
        CFramePoint APoint;
        const bool bTaken = ParsePoint(v, nMin, APoint) && APoint.nCount <= nMax;
        nCount = static_cast<T>(APoint.nCount);
        nCommand = APoint.Command ? *APoint.Command : -1;
        return Refused(bTaken, v);
    };
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

void CSimOptions::Declare(CLI::App& AApp)
{
    AApp.description("A virtual radar detector on a pseudo-terminal. It creates DIR/COM<N> as a\n"
                     "link to the terminal's slave side, prints one line naming it, answers the\n"
                     "update protocol as a healthy device would and keeps what it is sent. It runs\n"
                     "until SIGINT or SIGTERM, which remove the link again.\n\n"
                     "Numbers are decimal, or hexadecimal with 0x (commands: 0x23).\n");
    AApp.footer("Frames are counted as they arrive, the probe included.");
    const auto Range = [](std::uint64_t uMin, std::uint64_t uMax) { return CLI::Range(uMin, uMax).description(""); };
    const auto Option = [&AApp](const std::string& strName, auto& Field, const char* szType, const char* szHelp) {
        return AApp.add_option(strName, Field, szHelp)->type_name(szType);
    };
    const auto VersionAfter = [&AApp](const std::string& strName, std::optional<std::uint16_t>& Version,
                                      const char* szHelp) {
        AApp.add_option_function<std::uint16_t>(strName, [&Version](std::uint16_t u) { Version = u; }, szHelp)
            ->type_name("V");
    };

    AApp.option_defaults()->group("Port");
    Option("--port-dir", strPortDir, "DIR", "folder of the COM<N> links")
        ->envname("IAP_PORT_DIR")
        ->required()
        ->check([](const std::string& v) { return v.empty() ? "an empty folder name" : ""; });
    Option("--com", nCom, "N", "port number, 1 to 255")->required()->check(Range(1, 255));

    AApp.option_defaults()->group("The device");
    Option("--firmware-version", uFirmwareVersion, "V", "firmware version reported in 0x46")->default_str("0x0102");
    Option("--data-version", uDataVersion, "V", "camera-database version in 0x46")->default_str("0x0003");
    Option("--radar-version", uRadarVersion, "V", "radar version in 0x46")->default_str("0x1a2b");
    VersionAfter("--firmware-version-after", FirmwareVersionAfter,
                 "firmware version in 0x46 once a firmware stage\n"
                 "ended (default: the version its 0x1C was sent)");
    VersionAfter("--data-version-after", DataVersionAfter,
                 "camera-database version in 0x46 once a camera\n"
                 "database stage ended (default: unchanged)");
    VersionAfter("--radar-version-after", RadarVersionAfter,
                 "radar version in 0x46 once a radar stage ended\n"
                 "(default: unchanged)");
    AddStored(AApp, "--settings-g", "HEX|@FILE",
              "settings block G answered to 0x47: 146 hex digits\n"
              "(spaces, ':' and '-' allowed between them) or a\n"
              "file of 73 bytes; a 0x4A write replaces it",
              [this](const std::string& v) { return ParseSettings(v, SettingsG); });
    AddStored(AApp, "--settings-i", "HEX|@FILE", "settings block I answered to 0x49",
              [this](const std::string& v) { return ParseSettings(v, SettingsI); });
    AApp.add_flag("--accept-project-start", bAcceptProjectStart, "answer 0x1C with 0x1C first, then with 0x19");

    AApp.option_defaults()->group("Recording and timing");
    Option("--record", strRecordDir, "DIR",
           "write what the device now holds into DIR as each\n"
           "stage ends: firmware.bin (from the lowest address,\n"
           "gaps 0xFF) and firmware.map on 0x1A, flagdata.bin\n"
           "on 0x20, audioHead.bin on 0x30, rdfw.bin and\n"
           "rdfw.size (did the size of 0x41 match?) on 0x40,\n"
           "settings.bin on 0x4A; frames.log, every frame in\n"
           "(rx) and out (tx), the bytes that made no frame\n"
           "(bad) and the noise, with a millisecond time\n"
           "stamp, as it happens");
    Option("--baud", dwBaud, "B",
           "pace the line at B baud, 10 bits a byte in both\n"
           "directions (default: no pacing)")
        ->check(Range(50, 100000000));
    AddStored(AApp, "--answer-delay-ms", "D[:CMD]",
              "the device works D ms before each answer (to\n"
              "CMD only, when it is given)",
              StorePoint(0, 600000, dwAnswerDelayMs, nAnswerDelayCommand));
    Option("--seed", dwSeed, "S", "seed of torn answers and noise")->capture_default_str();

    AApp.option_defaults()->group("Faults");
    AApp.add_flag("--silent", bSilent, "answer nothing at all");
    AApp.add_flag_callback("--probe-short", [this] { eProbeFault = EProbeFault::Short; },
                           "answer 0x45 with the first 4 bytes of its 0x46");
    AddStored(AApp, "--probe-command", "CMD", "answer 0x45 with a frame of CMD instead of 0x46",
              [this](const std::string& v) {
                  eProbeFault = EProbeFault::OtherCommand;
                  return Refused(ParseInto(v, 1, 0xFF, btProbeCommand) && btProbeCommand != 0x46, v);
              });
    Option("--probe-fault-times", nProbeFaultTimes, "N", "only the first N 0x45 get the probe fault")
        ->check(Range(1, 0xFFFFFFFFu));
    AddStored(AApp, "--lose-info", "N|all",
              "each time the port is opened, answer the probe (the\n"
              "first 0x45) and lose the answers to the next N 0x45\n"
              "(or to all of them), as a line that drops them",
              [this](const std::string& v) {
                  return Refused(v == "all" ? (nLoseInfo = -1, true) : ParseInto(v, 1, 0x7FFFFFFF, nLoseInfo), v);
              });
    AddStored(AApp, "--stop-after", "N[:CMD]",
              "answer N frames (or N frames of CMD), then nothing;\n"
              "from then on nothing more is stored either",
              StorePoint(0, 0x7FFFFFFF, nStopAfter, nStopCommand));
    AddStored(AApp, "--fail-block", "CMD:K[:S]",
              "answer block K of the stage of CMD (0x06, 0x23,\n"
              "0x33 or 0x43, counted from the stage's start\n"
              "command) once with status S (default 3) and do not\n"
              "store it; may be given more than once",
              [this](const std::string& v) { return Refused(ParseFailBlock(v, FailBlocks.emplace_back()), v); });
    AApp.add_flag("--no-menu", bNoMenu, "never answer 0x47 or 0x49");
    Option("--tear", eTear, "bytes|random",
           "write answers one byte at a time, or in random\n"
           "chunks, --tear-gap-us apart")
        ->transform(CLI::CheckedTransformer(std::map<std::string, ETear>{{"bytes", ETear::Bytes},
                                                                         {"random", ETear::Random}})
                        .description(""));
    Option("--tear-gap-us", dwTearGapUs, "U", "pause between the pieces of a torn answer")
        ->capture_default_str()
        ->check(Range(0, 1000000));
    Option("--noise", nNoiseMax, "N",
           "after each frame sent, 1 to N random bytes; noise\n"
           "never holds 0xAC, so it can never start a frame")
        ->check(Range(1, 255));
    AddStored(AApp, "--hangup-after", "N[:CMD]",
              "after the N-th frame (of CMD) is answered and read,\n"
              "close the terminal and remove the link, as an\n"
              "unplugged device; the program then ends",
              StorePoint(1, 0x7FFFFFFF, nHangupAfter, nHangupCommand));
    AddStored(AApp, "--device-request", "N[:CMD]",
              "send the device request 0x1B after answering the\n"
              "N-th frame (of CMD); may be given more than once",
              [this](const std::string& v) { return Refused(ParsePoint(v, 1, DeviceRequests.emplace_back()), v); });
    AddStored(AApp, "--unsolicited", "CMD:N[:C]",
              "send a frame of CMD, without payload, after\n"
              "answering the N-th frame (of C): 0x13, 0x50 or\n"
              "any other frame a host did not ask for; may be\n"
              "given more than once",
              [this](const std::string& v) {
                  const std::size_t nColon = v.find(':');
                  CUnsolicited& AFrame = Unsolicited.emplace_back();
                  return Refused(nColon != std::string::npos &&
                                     ParseInto(v.substr(0, nColon), 1, 0xFF, AFrame.btCommand) &&
                                     ParsePoint(v.substr(nColon + 1), 1, AFrame.At),
                                 v);
              });
}

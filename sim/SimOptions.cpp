#include "SimOptions.h"

#include <cstdlib>

namespace {

bool ParseNumber(const std::string& str, long nMin, long& nOut)
{
    if (str.empty())
        return false;
    char* pEnd = nullptr;
    const long n = std::strtol(str.c_str(), &pEnd, 0);
    if (*pEnd != '\0' || n < nMin)
        return false;
    nOut = n;
    return true;
}

bool ParseBlock(const std::string& strHex, std::array<std::uint8_t, 73>& ABlock)
{
    if (strHex.size() != 2 * ABlock.size())
        return false;
    for (std::size_t i = 0; i < ABlock.size(); ++i) {
        long n = 0;
        char* pEnd = nullptr;
        const std::string strPair = strHex.substr(2 * i, 2);
        n = std::strtol(strPair.c_str(), &pEnd, 16);
        if (*pEnd != '\0')
            return false;
        ABlock[i] = static_cast<std::uint8_t>(n);
    }
    return true;
}

} // namespace

std::optional<CSimOptions> CSimOptions::Parse(const std::vector<std::string>& Args, std::string& strError)
{
    CSimOptions AOptions;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& strArg = Args[i];
        const bool bValue = i + 1 < Args.size();
        const std::string strValue = bValue ? Args[i + 1] : std::string();
        long n = 0;
        auto TakeNumber = [&](long nMin, long& nOut) {
            if (!bValue || !ParseNumber(strValue, nMin, nOut))
                return false;
            ++i;
            return true;
        };
        if (strArg == "--help" || strArg == "-h") {
            AOptions.bHelp = true;
        } else if (strArg == "--port-dir" && bValue) {
            AOptions.strPortDir = Args[++i];
        } else if (strArg == "--com" && TakeNumber(1, n) && n < 50) {
            AOptions.nCom = static_cast<unsigned>(n);
        } else if (strArg == "--record" && bValue) {
            AOptions.strRecordDir = Args[++i];
        } else if (strArg == "--firmware-version" && TakeNumber(0, n) && n <= 0xFFFF) {
            AOptions.uFirmwareVersion = static_cast<std::uint16_t>(n);
        } else if (strArg == "--data-version" && TakeNumber(0, n) && n <= 0xFFFF) {
            AOptions.uDataVersion = static_cast<std::uint16_t>(n);
        } else if (strArg == "--radar-version" && TakeNumber(0, n) && n <= 0xFFFF) {
            AOptions.uRadarVersion = static_cast<std::uint16_t>(n);
        } else if (strArg == "--settings-g" && bValue && ParseBlock(strValue, AOptions.SettingsG)) {
            ++i;
        } else if (strArg == "--settings-i" && bValue && ParseBlock(strValue, AOptions.SettingsI)) {
            ++i;
        } else if (strArg == "--accept-project-first") {
            AOptions.bAcceptProjectFirst = true;
        } else if (strArg == "--baud" && TakeNumber(1, n)) {
            AOptions.dwBaud = static_cast<std::uint32_t>(n);
        } else if (strArg == "--answer-delay-ms" && TakeNumber(0, n)) {
            AOptions.dwAnswerDelayMs = static_cast<std::uint32_t>(n);
        } else if (strArg == "--silent") {
            AOptions.bSilent = true;
        } else if (strArg == "--probe-four-bytes") {
            AOptions.bProbeFourBytes = true;
        } else if (strArg == "--probe-other-command") {
            AOptions.bProbeOtherCommand = true;
        } else if (strArg == "--stop-after" && TakeNumber(0, n)) {
            AOptions.nStopAfter = n;
        } else if (strArg == "--stop-command" && TakeNumber(1, n) && n <= 0xFF) {
            AOptions.nStopCommand = static_cast<int>(n);
        } else if (strArg == "--fail-block" && TakeNumber(0, n)) {
            AOptions.nFailBlock = n;
        } else if (strArg == "--no-menu") {
            AOptions.bNoMenu = true;
        } else if (strArg == "--tear") {
            AOptions.bTearAnswers = true;
        } else if (strArg == "--noise") {
            AOptions.bNoise = true;
        } else if (strArg == "--hangup-after" && TakeNumber(0, n)) {
            AOptions.nHangupAfter = n;
        } else if (strArg == "--request-at" && TakeNumber(0, n)) {
            AOptions.nRequestAt = n;
        } else {
            strError = "unknown or incomplete option: " + strArg;
            return std::nullopt;
        }
    }
    if (!AOptions.bHelp && (AOptions.strPortDir.empty() || AOptions.nCom == 0)) {
        strError = "--port-dir DIR and --com N (1 to 49) are needed";
        return std::nullopt;
    }
    return AOptions;
}

const char* CSimOptions::Usage()
{
    return "usage: iap-sim --port-dir DIR --com N [options]\n"
           "A virtual radar detector on a pseudo-terminal, linked as DIR/COM<N>.\n"
           "  --record DIR              keep what the device holds: firmware.bin, firmware.map,\n"
           "                            flagdata.bin, audioHead.bin, rdfw.bin, rdfw.size,\n"
           "                            settings.bin and frames.log\n"
           "  --firmware-version V      versions answered in 0x46 (numbers, 0x.. for hex)\n"
           "  --data-version V\n"
           "  --radar-version V\n"
           "  --settings-g HEX          the 73 bytes of block G as 146 hex digits\n"
           "  --settings-i HEX          the 73 bytes of block I\n"
           "  --accept-project-first    answer 0x1C with 0x1C, then 0x19\n"
           "  --baud B                  pace the line as a UART at B baud (10 bits a byte)\n"
           "  --answer-delay-ms D       the device's own work before each answer\n"
           "faults:\n"
           "  --silent                  answer nothing, not even the probe\n"
           "  --probe-four-bytes        answer the probe with 4 bytes\n"
           "  --probe-other-command     answer the probe with another command\n"
           "  --stop-after N            stop answering after N frames received\n"
           "  --stop-command C          with --stop-after: count only frames of command C\n"
           "  --fail-block K            answer block K of each stage once with status 3\n"
           "  --no-menu                 never answer the settings reads 0x47 and 0x49\n"
           "  --tear                    write answers one byte at a time\n"
           "  --noise                   write noise bytes before every answer\n"
           "  --hangup-after N          close the line (unplug) after N frames received\n"
           "  --request-at N            send the device request 0x1B after N frames received\n";
}

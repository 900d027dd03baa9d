#include "CliOptions.h"

#include <cstdlib>

namespace {

bool ParseSeconds(const std::string& strValue, unsigned& nOut)
{
    if (strValue.empty() || strValue.size() > 6 || strValue.find_first_not_of("0123456789") != std::string::npos)
        return false;
    nOut = static_cast<unsigned>(std::strtoul(strValue.c_str(), nullptr, 10));
    return nOut > 0;
}

} // namespace

std::optional<CCliOptions> CCliOptions::Parse(const std::vector<std::string>& Args, std::string& strError)
{
    CCliOptions AOptions;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& strArg = Args[i];
        const bool bHasValue = i + 1 < Args.size();
        if (strArg == "--trace") {
            AOptions.bTrace = true;
        } else if (strArg == "--list-ports") {
            AOptions.bListPorts = true;
        } else if (strArg == "--help" || strArg == "-h") {
            AOptions.bHelp = true;
        } else if (strArg == "--version") {
            AOptions.bVersion = true;
        } else if (strArg == "--check") {
            AOptions.bCheck = true;
        } else if (strArg == "--json") {
            AOptions.bJson = true;
        } else if (strArg == "--port" && bHasValue) {
            AOptions.strPort = Args[++i];
            if (AOptions.strPort.empty()) {
                strError = "--port needs a COM number or a device path";
                return std::nullopt;
            }
        } else if (strArg == "--folder" && bHasValue) {
            AOptions.strFolder = Args[++i];
        } else if (strArg == "--report" && bHasValue) {
            AOptions.strReport = Args[++i];
            if (AOptions.strReport.empty()) {
                strError = "--report needs a file name";
                return std::nullopt;
            }
        } else if (strArg == "--settings" && bHasValue) {
            AOptions.strSettings = Args[++i];
        } else if (strArg == "--stall-timeout" && bHasValue) {
            if (!ParseSeconds(Args[++i], AOptions.nStallSeconds)) {
                strError = "--stall-timeout needs a positive number of seconds";
                return std::nullopt;
            }
        } else if (strArg == "--wait" && bHasValue) {
            if (!ParseSeconds(Args[++i], AOptions.nWaitSeconds)) {
                strError = "--wait needs a positive number of seconds";
                return std::nullopt;
            }
        } else {
            strError = "unknown or incomplete option: " + strArg;
            return std::nullopt;
        }
    }
    if (AOptions.bJson && !AOptions.bCheck) {
        strError = "--json goes with --check";
        return std::nullopt;
    }
    return AOptions;
}

const char* CCliOptions::Usage()
{
    return "Usage: iap-cli [OPTION]...\n"
           "Updates the radar detector on the first COM port that answers, with the update\n"
           "files of a folder: AC7811_project.hex, flagdata.bin, audioHead.bin, rdfw.bin;\n"
           "ver.txt gives the versions shown.\n"
           "\n"
           "Options:\n"
           "  --folder DIR        the update files' folder (default: the current folder)\n"
           "  --settings FILE     73-byte device menu to write when it differs from the device's\n"
           "  --port N|PATH       use this port alone: a COM number (5 or COM5), or a device\n"
           "                      path such as /dev/ttyUSB0; probe no other\n"
           "  --check             open no port: read every update file as an update would and\n"
           "                      say per stage what it sends and how long that takes\n"
           "  --json              with --check: the same as one JSON object\n"
           "  --report FILE       at the end, whatever the outcome, write a report for support\n"
           "                      to FILE: versions, the port and adapter, the files' hashes,\n"
           "                      each stage, the result and the trace (nothing is sent)\n"
           "  --stall-timeout S   fail an update that makes no progress for S seconds (30)\n"
           "  --wait S            search the ports for at most S seconds (10)\n"
           "  --trace             write the debug trace to standard error\n"
           "  --list-ports        print the COM port table and exit\n"
           "  --help              print this text and exit\n"
           "  --version           print the program's version and exit\n"
           "\n"
           "Environment (Linux):\n"
           "  IAP_PORT_DIR        a folder of COM<N> links that stand for the serial ports\n"
           "  IAP_SYSFS_ROOT      where sysfs is read for the USB adapters plugged in (/sys)\n"
           "\n"
           "Exit status: 0 updated (or nothing to update; with --check: an update would\n"
           "start), 1 the update failed (with --check: a file is damaged), 2 no device\n"
           "answered, 64 usage error.\n";
}

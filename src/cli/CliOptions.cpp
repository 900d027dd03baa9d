#include "CliOptions.h"

#include <CLI/CLI.hpp>

void CCliOptions::Declare(CLI::App& AApp)
{
    AApp.description("Updates the radar detector on the first COM port that answers, with the update\n"
                     "files of a folder, or of the update's .zip, .7z or .rar archive as published:\n"
                     "AC7811_project.hex, flagdata.bin, audioHead.bin, rdfw.bin; ver.txt gives the\n"
                     "versions shown.\n");
    AApp.footer("Environment (Linux):\n"
                "  IAP_PORT_DIR              a folder of COM<N> links that stand for the\n"
                "                            serial ports\n"
                "  IAP_SYSFS_ROOT            where sysfs is read for the USB adapters\n"
                "                            plugged in (/sys)\n\n"
                "Exit status: 0 updated (or nothing to update; with --check: an update would\n"
                "start), 1 the update failed (with --check: a file is damaged), 2 no device\n"
                "answered, 64 usage error.");
    // Whole seconds, as a person types them; a day and a half at most.
    const CLI::Validator ASeconds = CLI::Range(1u, 999999u).description("");

    AApp.option_defaults()->group("Update");
    AApp.add_option("--folder", strFolder, "the update files' folder (default: the current\n"
                                           "folder), or the update's .zip, .7z or .rar\n"
                                           "archive: its files, in its root or its one top\n"
                                           "folder, are unpacked into a private temporary\n"
                                           "folder for the run")->type_name("DIR|ARCHIVE");
    AApp.add_option("--settings", strSettings, "73-byte device menu to write when it differs\n"
                                               "from the device's")->type_name("FILE");
    AApp.add_option("--port", strPort, "use this port alone: a COM number (5 or COM5), or a\n"
                                       "device path such as /dev/ttyUSB0; probe no other")
        ->type_name("N|PATH")
        ->check([](const std::string& str) { return str.empty() ? "needs a COM number or a device path" : ""; });
    AApp.add_option("--stall-timeout", nStallSeconds, "fail an update that makes no progress for S seconds")
        ->type_name("S")->capture_default_str()->check(ASeconds);
    AApp.add_option("--wait", nWaitSeconds, "search the ports for at most S seconds")
        ->type_name("S")->capture_default_str()->check(ASeconds);
    AApp.add_option("--report", strReport, "at the end, whatever the outcome, write a report\n"
                                           "for support to FILE: versions, the port and\n"
                                           "adapter, the files' hashes, each stage, the\n"
                                           "result and the trace (nothing is sent)")
        ->type_name("FILE")
        ->check([](const std::string& str) { return str.empty() ? "needs a file name" : ""; });
    AApp.add_flag("--trace", bTrace, "write the debug trace to standard error");

    AApp.option_defaults()->group("Without a device");
    CLI::Option* pCheck = AApp.add_flag("--check", bCheck, "open no port: read every update file as an update\n"
                                                           "would and say per stage what it sends and how\n"
                                                           "long that takes");
    AApp.add_flag("--json", bJson, "with --check: the same as one JSON object")->needs(pCheck);
    AApp.add_flag("--list-ports", bListPorts, "print the COM port table and exit");
}

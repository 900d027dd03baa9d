#pragma once
#include <optional>
#include <string>
#include <vector>

// The command line of iap-cli.
struct CCliOptions {
    std::string strFolder = ".";
    std::string strSettings;
    std::string strPort;  // --port: a COM number, or a device path; empty: the search
    std::string strReport; // --report: where the report for support goes; empty: none
    unsigned nStallSeconds = 30;
    unsigned nWaitSeconds = 10;
    bool bTrace = false;
    bool bListPorts = false;
    bool bHelp = false;
    bool bVersion = false;
    bool bCheck = false;
    bool bJson = false;

    // Answers no options, with strError set, on a usage error.
    static std::optional<CCliOptions> Parse(const std::vector<std::string>& Args, std::string& strError);
    static const char* Usage();
};

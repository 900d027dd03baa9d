#pragma once
#include <string>

#include "Language.h"

namespace CLI {
class App;
}

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
    bool bCheck = false;
    bool bJson = false;
    // The language of the help and of every line iap-cli writes (--lang, or
    // the system's), chosen before the options are declared.
    ELanguage eLanguage = ELanguage::English;

    // Declares iap-cli's options, its help text (in eLanguage) and their
    // rules on AApp, each option bound to its field of this object. Main
    // thread.
    void Declare(CLI::App& AApp);
};

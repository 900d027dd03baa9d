#pragma once
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "Language.h"

namespace CLI {
class App;
}

// A program's command line, declared with CLI11 on GetApp() and read once:
// one help layout, version option and error line for iap-cli, iap-sim and
// iap-bench. Options may be written as --name value or --name=value, on
// every system. Main thread; options bound to variables write them while
// Parse runs, so those variables must outlive it.
class CCommandLine {
public:
    enum class EResult { Run, Help, Version, Error };

    // A program that speaks English alone (iap-bench).
    explicit CCommandLine(const std::string& strProgram);
    // A program that speaks the driver's language: the one --lang names in
    // Args, else the system's (GetLanguage). It has the option --lang, and
    // its help is in that language; the program declares its own options
    // in it too. CLI11's own words for a wrong option stay English.
    CCommandLine(const std::string& strProgram, std::span<const std::string> Args);
    ~CCommandLine();

    ELanguage GetLanguage() const { return m_eLanguage; }
    // The language the last --lang among Args names, read before the
    // options are declared (their help is in it); none when it is not given
    // or names no language (Parse then says so).
    static std::optional<ELanguage> FindLanguageOption(std::span<const std::string> Args);

    // Owned here; the options are declared on it before Parse.
    CLI::App& GetApp() { return *m_pApp; }
    // Parses the arguments after the program's name. strText receives the
    // help text, the version line, or one line naming the option or value
    // that is wrong; it is empty for Run.
    EResult Parse(std::span<const std::string> Args, std::string& strText);
    // Parses and says anything but Run: the help text or version on standard
    // output (exit status 0), the error as "program: text" on standard error
    // (nUsageExit). Answers that exit status, or none when the program is to run.
    std::optional<int> Run(std::span<const std::string> Args, int nUsageExit);

private:
    std::unique_ptr<CLI::App> m_pApp;
    ELanguage m_eLanguage = ELanguage::English;
    bool m_bLanguageOption = false;
    std::string m_strLanguage; // --lang's value, checked by CLI11
};

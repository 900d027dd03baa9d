#pragma once
#include <memory>
#include <optional>
#include <span>
#include <string>

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

    explicit CCommandLine(const std::string& strProgram);
    ~CCommandLine();

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
};

#include "CommandLine.h"

#include <cstdio>
#include <regex>
#include <vector>

#include "Version.h"

CCommandLine::CCommandLine(const std::string& strProgram) : m_App("", strProgram)
{
    // Help and version are declared by Parse, after the program's own.
    m_App.set_help_flag();
    // "/name" is a path on POSIX; Windows takes the same options as Linux.
    m_App.allow_windows_style_options(false);
    m_App.get_formatter()->column_width(26);
}

CCommandLine::EResult CCommandLine::Parse(std::span<const std::string> Args, std::string& strText)
{
    strText.clear();
    if (m_App.get_help_ptr() == nullptr) {
        m_App.set_help_flag("-h,--help", "print this text and exit")->group("Program");
        m_App.set_version_flag("--version", m_App.get_name() + " " + kIapVersion, "print the program's version and exit")
            ->group("Program");
    }
    // CLI11 takes the arguments last first.
    std::vector<std::string> Reversed(Args.rbegin(), Args.rend());
    try {
        m_App.parse(Reversed);
        return EResult::Run;
    } catch (const CLI::CallForHelp&) {
        // One blank line between the groups, not two.
        strText = std::regex_replace(m_App.help(), std::regex("\n\n\n+"), "\n\n");
        return EResult::Help;
    } catch (const CLI::CallForVersion& AVersion) {
        strText = std::string(AVersion.what()) + "\n";
        return EResult::Version;
    } catch (const CLI::ParseError& AError) {
        strText = std::string(AError.what()) + " (see " + m_App.get_name() + " --help)";
        return EResult::Error;
    }
}

std::optional<int> CCommandLine::Run(std::span<const std::string> Args, int nUsageExit)
{
    std::string strText;
    switch (Parse(Args, strText)) {
    case EResult::Run: return std::nullopt;
    case EResult::Help:
    case EResult::Version: std::fputs(strText.c_str(), stdout); return 0;
    case EResult::Error: break;
    }
    std::fprintf(stderr, "%s: %s\n", m_App.get_name().c_str(), strText.c_str());
    return nUsageExit;
}

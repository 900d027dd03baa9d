#include "CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>
#include <vector>

#include <CLI/CLI.hpp>

#include "TextCatalog.h"
#include "Version.h"

namespace {

// CLI11's help layout with three changes: "-h, --help" as manual pages
// write names, at least two spaces before a description (help2man tells the
// columns apart by them), and one blank line between groups.
class CHelpLayout : public CLI::Formatter {
public:
    std::string make_option_name(const CLI::Option* pOption, bool bPositional) const override
    {
        return std::regex_replace(CLI::Formatter::make_option_name(pOption, bPositional), std::regex(","), ", ");
    }
    std::string make_option(const CLI::Option* pOption, bool bPositional) const override
    {
        std::ostringstream AOut;
        CLI::detail::format_help(AOut, make_option_name(pOption, bPositional) + make_option_opts(pOption) + " ",
                                 make_option_desc(pOption), column_width_);
        return AOut.str();
    }
    std::string make_help(const CLI::App* pApp, std::string strName, CLI::AppFormatMode eMode) const override
    {
        const std::string strHelp = CLI::Formatter::make_help(pApp, std::move(strName), eMode);
        return std::regex_replace(std::regex_replace(strHelp, std::regex(" +\n"), "\n"), std::regex("\n\n\n+"), "\n\n");
    }
};

} // namespace

CCommandLine::CCommandLine(const std::string& strProgram) : m_pApp(std::make_unique<CLI::App>("", strProgram))
{
    // Help and version are declared by Parse, after the program's own.
    m_pApp->set_help_flag();
    // "/name" is a path on POSIX; Windows takes the same options as Linux.
    m_pApp->allow_windows_style_options(false);
    m_pApp->formatter(std::make_shared<CHelpLayout>());
    m_pApp->get_formatter()->column_width(28);
}

CCommandLine::CCommandLine(const std::string& strProgram, std::span<const std::string> Args)
    : CCommandLine(strProgram)
{
    m_eLanguage = FindLanguageOption(Args).value_or(GetSystemLanguage());
    m_bLanguageOption = true;
    // The words CLI11's help layout puts around the options.
    CLI::FormatterBase& AFormatter = *m_pApp->get_formatter();
    for (const CTextKey AKey : {CTextKey("Использование"), CTextKey("ПАРАМЕТРЫ"), CTextKey("ОБЯЗАТЕЛЬНО"),
                                CTextKey("Окружение"), CTextKey("Нужен")})
        AFormatter.label(std::string(GetText(ELanguage::English, AKey)), std::string(GetText(m_eLanguage, AKey)));
}

std::optional<ELanguage> CCommandLine::FindLanguageOption(std::span<const std::string> Args)
{
    std::optional<ELanguage> Language;
    for (std::size_t n = 0; n < Args.size(); ++n) {
        if (Args[n] == "--lang" && n + 1 < Args.size())
            Language = FindLanguage(Args[++n]);
        else if (Args[n].starts_with("--lang="))
            Language = FindLanguage(std::string_view(Args[n]).substr(7));
    }
    return Language;
}

CCommandLine::~CCommandLine() = default;

CCommandLine::EResult CCommandLine::Parse(std::span<const std::string> Args, std::string& strText)
{
    strText.clear();
    if (m_pApp->get_help_ptr() == nullptr) {
        const std::string strGroup(GetText(m_eLanguage, "Программа"));
        if (m_bLanguageOption)
            m_pApp->add_option("--lang", m_strLanguage,
                               std::string(GetText(m_eLanguage, "язык текстов: ru или en (по умолчанию язык\nсистемы)")))
                ->type_name("ru|en")
                ->check(CLI::IsMember({"ru", "en"}).description(""))
                ->group(strGroup);
        m_pApp->set_help_flag("-h,--help", std::string(GetText(m_eLanguage, "вывести этот текст и выйти")))->group(strGroup);
        m_pApp->set_version_flag("--version", m_pApp->get_name() + " " + kIapVersion,
                                 std::string(GetText(m_eLanguage, "вывести версию программы и выйти")))
            ->group(strGroup);
    }
    // CLI11 takes the arguments last first.
    std::vector<std::string> Reversed(Args.rbegin(), Args.rend());
    try {
        m_pApp->parse(Reversed);
        return EResult::Run;
    } catch (const CLI::CallForHelp&) {
        strText = m_pApp->help();
        return EResult::Help;
    } catch (const CLI::CallForVersion& AVersion) {
        strText = std::string(AVersion.what()) + "\n";
        return EResult::Version;
    } catch (const CLI::ParseError& AError) {
        // An unknown option is named before anything it kept from being given.
        std::vector<std::string> Extras = m_pApp->remaining();
        std::reverse(Extras.begin(), Extras.end());
        strText = Extras.empty() ? AError.what() : CLI::ExtrasError(Extras).what();
        strText += FormatText(m_eLanguage, " (см. {1} --help)", {m_pApp->get_name()});
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
    std::fprintf(stderr, "%s: %s\n", m_pApp->get_name().c_str(), strText.c_str());
    return nUsageExit;
}

#include "Language.h"

#include <array>

namespace {

constexpr std::array<std::string_view, kLanguageCount> kCodes = {"ru", "en"};

} // namespace

std::string_view GetLanguageCode(ELanguage eLanguage) { return kCodes[static_cast<std::size_t>(eLanguage)]; }

std::optional<ELanguage> FindLanguage(std::string_view strCode)
{
    for (std::size_t n = 0; n < kCodes.size(); ++n)
        if (kCodes[n] == strCode)
            return static_cast<ELanguage>(n);
    return std::nullopt;
}

ELanguage GetLanguageOfLocale(std::string_view strLocale)
{
    return strLocale.starts_with("ru") ? ELanguage::Russian : ELanguage::English;
}

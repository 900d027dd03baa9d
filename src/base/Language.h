#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

// The languages the programs speak to a driver: one column each in the text
// catalogue (TextTable.h) and, for the windows, one translation file each
// beside Russian, the windows' own language. A new language is one more
// enumerator here, one more column there and one more .ts file.
enum class ELanguage { Russian, English };
inline constexpr std::size_t kLanguageCount = 2;

// "ru" and "en": the value of --lang, the name a remembered choice is kept
// under, the suffix of a window translation file (iap-tool_en.qm).
std::string_view GetLanguageCode(ELanguage eLanguage);
// The language --lang names ("ru" or "en"); none for any other text.
std::optional<ELanguage> FindLanguage(std::string_view strCode);
// A locale's name as the system gives it ("ru_RU.UTF-8", "en_US", "C"):
// Russian for every "ru" locale, English for anything else.
ELanguage GetLanguageOfLocale(std::string_view strLocale);

// The language the user's system speaks: on POSIX the locale of messages
// (LC_ALL, then LC_MESSAGES, then LANG, the first that is set and not
// empty); on Windows the user's language of the interface. The platform's
// part is Language_Posix.cpp or Language_Win32.cpp. Any thread.
ELanguage GetSystemLanguage();

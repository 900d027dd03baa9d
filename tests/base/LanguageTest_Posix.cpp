// The system's language on POSIX: the locale of messages, as LC_ALL,
// LC_MESSAGES and LANG give it in that order.
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

#include "Language.h"

TEST(Language, TheLocaleOfMessagesNamesIt)
{
    const struct {
        const char* szAll;
        const char* szMessages;
        const char* szLang;
        ELanguage eLanguage;
    } kRows[] = {
        {"", "", "ru_RU.UTF-8", ELanguage::Russian},       {"", "", "en_US.UTF-8", ELanguage::English},
        {"", "", "C.UTF-8", ELanguage::English},           {"", "", "", ELanguage::English},
        {"", "", "ru_UA.UTF-8", ELanguage::Russian},       {"", "", "en_RU.UTF-8", ELanguage::English},
        {"", "ru_RU.UTF-8", "en_US.UTF-8", ELanguage::Russian}, {"C", "ru_RU.UTF-8", "ru_RU.UTF-8", ELanguage::English},
        {"ru_RU.UTF-8", "C", "C", ELanguage::Russian},
    };
    const char* const kVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::optional<std::string> Saved[3];
    for (int n = 0; n < 3; ++n)
        if (const char* sz = std::getenv(kVariables[n]))
            Saved[n] = sz;
    for (const auto& ARow : kRows) {
        ::setenv("LC_ALL", ARow.szAll, 1);
        ::setenv("LC_MESSAGES", ARow.szMessages, 1);
        ::setenv("LANG", ARow.szLang, 1);
        EXPECT_EQ(GetSystemLanguage(), ARow.eLanguage) << ARow.szAll << "|" << ARow.szMessages << "|" << ARow.szLang;
    }
    for (int n = 0; n < 3; ++n)
        Saved[n] ? ::setenv(kVariables[n], Saved[n]->c_str(), 1) : ::unsetenv(kVariables[n]);
}

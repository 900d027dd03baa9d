// The language of messages as POSIX defines it: LC_ALL overrides
// LC_MESSAGES, which overrides LANG; an empty variable counts as unset.
#include "Language.h"

#include <cstdlib>

ELanguage GetSystemLanguage()
{
    for (const char* szVariable : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* szLocale = std::getenv(szVariable); szLocale != nullptr && *szLocale != '\0')
            return GetLanguageOfLocale(szLocale);
    return ELanguage::English;
}

// The user's language of the interface, as Windows shows its own menus in:
// the language a driver reads, whatever the regional formats are.
#include "Language.h"

#include <windows.h>

ELanguage GetSystemLanguage()
{
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN ? ELanguage::Russian : ELanguage::English;
}

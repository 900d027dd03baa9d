// The thread's locale through uselocale: C.UTF-8 for the text's
// characters, which glibc always has.
#include "Utf8ThreadLocale.h"

#include <clocale>
#include <locale.h>

struct CUtf8ThreadLocale::CHold {
    locale_t pUtf8 = nullptr;
    locale_t pPrevious = nullptr;
};

CUtf8ThreadLocale::CUtf8ThreadLocale() : m_pHold(std::make_unique<CHold>())
{
    m_pHold->pUtf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (m_pHold->pUtf8 != nullptr)
        m_pHold->pPrevious = uselocale(m_pHold->pUtf8);
}

CUtf8ThreadLocale::~CUtf8ThreadLocale()
{
    if (m_pHold->pUtf8 == nullptr)
        return;
    uselocale(m_pHold->pPrevious);
    freelocale(m_pHold->pUtf8);
}

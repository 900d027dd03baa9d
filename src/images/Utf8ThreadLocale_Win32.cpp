// Nothing to do on Windows: libarchive converts names there through code
// pages (MultiByteToWideChar), not through the C library's locale.
#include "Utf8ThreadLocale.h"

struct CUtf8ThreadLocale::CHold {};

CUtf8ThreadLocale::CUtf8ThreadLocale() = default;
CUtf8ThreadLocale::~CUtf8ThreadLocale() = default;

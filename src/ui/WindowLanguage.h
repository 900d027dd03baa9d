#pragma once
#include <filesystem>
#include <memory>
#include <optional>

#include "Language.h"

class QTranslator;

// The windows' language. Their own texts (the skins' and the code's) are
// written in Russian and translated by Qt from a translation file per
// language, iap-tool_<code>.qm (made from translations/iap-tool_<code>.ts);
// what they show of the engine comes from the engine's text catalogue in
// the same language (CProgramData::eLanguage).
//
// The GUI thread only, with the application object made (Recall and
// Remember need only its name).
class CWindowLanguage {
public:
    CWindowLanguage();
    ~CWindowLanguage();
    CWindowLanguage(const CWindowLanguage&) = delete;
    CWindowLanguage& operator=(const CWindowLanguage&) = delete;

    // The language the program starts in: the one given with --lang, which
    // is kept for the next start; else the one kept; else the system's.
    static ELanguage Choose(const std::optional<ELanguage>& Given);
    static std::optional<ELanguage> Recall();
    static void Remember(ELanguage eLanguage);

    // Translates every window made from now on into eLanguage with the file
    // in Folder. Answers the language the windows speak: eLanguage, or
    // Russian, their own, when its translation cannot be loaded (so that
    // nothing is shown half in one language and half in another).
    ELanguage Install(ELanguage eLanguage, const std::filesystem::path& Folder);

private:
    std::unique_ptr<QTranslator> m_pTranslator;  // installed in the application while it lives
};

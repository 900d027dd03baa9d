#include "WindowLanguage.h"

#include <QCoreApplication>
#include <QSettings>
#include <QString>
#include <QTranslator>

#include "DebugPrint.h"
#include "TextCodec.h"

namespace {

const char* const kLanguageKey = "language";

} // namespace

CWindowLanguage::CWindowLanguage() = default;

CWindowLanguage::~CWindowLanguage()
{
    if (m_pTranslator)
        QCoreApplication::removeTranslator(m_pTranslator.get());
}

ELanguage CWindowLanguage::Choose(const std::optional<ELanguage>& Given)
{
    if (Given) {
        Remember(*Given);
        return *Given;
    }
    return Recall().value_or(GetSystemLanguage());
}

std::optional<ELanguage> CWindowLanguage::Recall()
{
    return FindLanguage(QSettings().value(kLanguageKey).toString().toStdString());
}

void CWindowLanguage::Remember(ELanguage eLanguage)
{
    QSettings().setValue(kLanguageKey, QString::fromLatin1(GetLanguageCode(eLanguage).data(),
                                                           static_cast<qsizetype>(GetLanguageCode(eLanguage).size())));
}

ELanguage CWindowLanguage::Install(ELanguage eLanguage, const std::filesystem::path& Folder)
{
    if (eLanguage == ELanguage::Russian) {
        if (m_pTranslator)
            QCoreApplication::removeTranslator(m_pTranslator.get());
        m_pTranslator.reset();
        return eLanguage;
    }
    auto pTranslator = std::make_unique<QTranslator>();
    const std::filesystem::path File = Folder / ("iap-tool_" + std::string(GetLanguageCode(eLanguage)) + ".qm");
    if (!pTranslator->load(QString::fromStdWString(PathToWide(File))) ||
        !QCoreApplication::installTranslator(pTranslator.get())) {
        DebugPrint(L"translation %ls cannot be loaded: the windows speak Russian\r\n", PathToWide(File).c_str());
        return ELanguage::Russian;
    }
    if (m_pTranslator)
        QCoreApplication::removeTranslator(m_pTranslator.get());
    m_pTranslator = std::move(pTranslator);
    return eLanguage;
}

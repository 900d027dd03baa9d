#include "SkinLoader.h"

#include <QCoreApplication>
#include <QFile>

#include "DebugPrint.h"
#include "TextCodec.h"

CSkinLoader::CSkinLoader(CCustomControl ACallback) : m_Callback(std::move(ACallback)) {}

std::unique_ptr<QWidget> CSkinLoader::Create(const std::filesystem::path& SkinFile, QWidget* pParent)
{
    m_strError.clear();
    QFile AFile(QString::fromStdWString(PathToWide(SkinFile)));
    if (!AFile.open(QIODevice::ReadOnly)) {
        DebugPrint(L"skin %ls cannot be opened\r\n", PathToWide(SkinFile).c_str());
        m_strError = AFile.exists() ? QCoreApplication::translate("CSkinLoader", "файл не читается (%1).").arg(AFile.errorString())
                                    : QCoreApplication::translate("CSkinLoader", "файла нет.");
        return nullptr;
    }
    std::unique_ptr<QWidget> pRoot(load(&AFile, pParent));
    if (!pRoot) {
        DebugPrint(L"skin %ls is no layout: %ls\r\n", PathToWide(SkinFile).c_str(),
                   errorString().toStdWString().c_str());
        m_strError = QCoreApplication::translate("CSkinLoader", "это не описание окна (%1).").arg(errorString());
    }
    return pRoot;
}

QWidget* CSkinLoader::createWidget(const QString& className, QWidget* parent, const QString& name)
{
    if (m_Callback) {
        if (QWidget* pCustom = m_Callback(className, parent)) {
            pCustom->setObjectName(name);
            return pCustom;
        }
    }
    return QUiLoader::createWidget(className, parent, name);
}

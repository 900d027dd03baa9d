#include "SingleInstance.h"

#include <QDir>
#include <QStandardPaths>
#include <QString>

CSingleInstance::CSingleInstance(std::wstring_view strName)
{
    QString strFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (strFolder.isEmpty())
        strFolder = QDir::tempPath();
    const QString strName16 = QString::fromWCharArray(strName.data(), static_cast<qsizetype>(strName.size()));
    m_pLock = std::make_unique<QLockFile>(QDir(strFolder).filePath(strName16 + QStringLiteral(".lock")));
    m_pLock->setStaleLockTime(0);  // only a dead holder makes a lock stale
    m_bFirst = m_pLock->tryLock(0);
}

void CSingleInstance::Release()
{
    if (m_bFirst)
        m_pLock->unlock();
    m_bFirst = false;
}

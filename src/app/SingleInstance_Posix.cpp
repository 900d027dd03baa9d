// One copy at a time on POSIX: a lock file named after the mutex name.
#include "SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <QString>

struct CSingleInstance::CHold {
    std::unique_ptr<QLockFile> pLock;
};

CSingleInstance::CSingleInstance(std::wstring_view strName) : m_pHold(std::make_unique<CHold>())
{
    QString strFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (strFolder.isEmpty())
        strFolder = QDir::tempPath();
    const QString strName16 = QString::fromWCharArray(strName.data(), static_cast<qsizetype>(strName.size()));
    m_pHold->pLock = std::make_unique<QLockFile>(QDir(strFolder).filePath(strName16 + QStringLiteral(".lock")));
    m_pHold->pLock->setStaleLockTime(0);  // only a dead holder makes a lock stale
    m_bFirst = m_pHold->pLock->tryLock(0);
}

CSingleInstance::~CSingleInstance() { Release(); }

void CSingleInstance::Release()
{
    if (m_bFirst)
        m_pHold->pLock->unlock();
    m_bFirst = false;
}

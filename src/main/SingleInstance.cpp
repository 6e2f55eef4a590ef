#include "SingleInstance.h"

#include "Dialogs.h"

#include <QDir>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString& folder)
{
    QString where = folder;
    if (where.isEmpty())
        where = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (where.isEmpty())
        where = QDir::tempPath();
    QDir().mkpath(where);
    m_lock = std::make_unique<QLockFile>(QDir(where).filePath(lockName() + QStringLiteral(".lock")));
    // Never consider a live lock stale by age: the program may run for days.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    return m_lock->tryLock(0);
}

void SingleInstance::release()
{
    m_lock->unlock();
}

bool SingleInstance::acquireOrTell()
{
    if (acquire())
        return true;
    tell();
    return false;
}

void SingleInstance::tell()
{
    Dialogs::message(Dialogs::Kind::Plain, QStringLiteral("Software is already in use !"));
}

#include "shared/single_instance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

QString Instance_lock::Default_path()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/Velantra_remote.lock");
}

Instance_lock::Instance_lock(const QString &path) : lock_(std::make_unique<QLockFile>(path))
{
    // No age limit: only a dead owner makes the lock stale, however long a session lasts.
    lock_->setStaleLockTime(0);
}

Instance_lock::~Instance_lock() = default;

bool Instance_lock::Try_acquire()
{
    if (lock_->isLocked())
        return true;
    return lock_->tryLock(0);
}

#include "shared/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QtDebug>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

QString Instance_lock::Default_path()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/Velantra_remote.lock");
}

Instance_lock::Instance_lock(const QString &path) : path_(path), lock_(std::make_unique<QLockFile>(path))
{
    // No age limit: only a dead owner makes the lock stale, however long a session lasts.
    lock_->setStaleLockTime(0);
}

Instance_lock::~Instance_lock() = default;

bool Instance_lock::Held_by_live_process() const
{
#ifdef Q_OS_UNIX
    // The holder keeps an exclusive flock on the file for as long as it lives, and
    // the system drops it when the holder dies, however it dies.
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false; // unreadable: not a lock a live copy made
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
#else
    // Elsewhere the holder keeps the file open and undeletable.
    return !QFile::remove(path_) && QFile::exists(path_);
#endif
}

bool Instance_lock::Try_acquire()
{
    if (lock_->isLocked() || lock_->tryLock(0))
        return true;
    if (lock_->error() == QLockFile::LockFailedError) {
        if (Held_by_live_process())
            return false;
        // Left over: empty, unreadable, garbage or another machine's; nobody holds it.
        lock_->removeStaleLockFile();
        if (lock_->tryLock(0))
            return true;
    }
    qWarning("velantra-remote: cannot take the single-instance lock %s; starting without it, "
             "so a second copy would not be refused.",
             qPrintable(QDir::toNativeSeparators(path_)));
    return true;
}

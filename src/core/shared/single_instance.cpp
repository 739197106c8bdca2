#include "core/shared/single_instance.h"

#include "core/platform/file_calls.h"
#include "core/shared/app_user_data.h"
#include "core/shared/file_ops.h"
#include "core/shared/native_path.h"
#include "core/shared/own_folder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QFileInfo>
#include <QtDebug>

#include <cerrno>
#include <future>
#include <utility>

namespace {

const QString Lock_name = QStringLiteral("/Velantra_remote.lock");

} // namespace

QString Instance_lock::Default_path()
{
    // The lock guards the data folder (the settings file, the journal), so it lies there:
    // every copy on that folder meets it, whatever its session, runtime folder or login.
    const QString data = QDir::fromNativeSeparators(AppUserData_Path());
    if (Own_folder(data, false))
        return data + Lock_name;
    // Where others can write the data folder, the session's runtime folder (the user's
    // own, 0700) holds a lock named after the data folder: copies of one session still meet.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!QDir::isAbsolutePath(data) || !Own_folder(runtime, true))
        return {};
    const QByteArray key = QCryptographicHash::hash(QFile::encodeName(QDir::cleanPath(data)), QCryptographicHash::Sha256);
    return runtime + QStringLiteral("/Velantra_remote-") + QString::fromLatin1(key.toHex().left(16))
           + QStringLiteral(".lock");
}

Instance_lock::Instance_lock(const QString &path) : path_(path), lock_(std::make_unique<QLockFile>(path))
{
    // No age limit: only a dead owner makes the lock stale, however long a session lasts.
    lock_->setStaleLockTime(0);
}

Instance_lock::~Instance_lock() = default;

bool Instance_lock::Held_by_live_process() const
{
    return File_calls::Lock_file_held(Native_path(path_));
}

bool Instance_lock::Try_acquire()
{
    if (!path_.isEmpty() && lock_->isLocked())
        return true;
    // Anything there that is no regular file (a FIFO, a device) is no lock of ours:
    // taken over before the lock would read it and wait.
    int error = 0;
    const int fd = path_.isEmpty() ? -1 : File_ops::Open(path_, File_ops::Access::Read, &error);
    if (fd >= 0)
        File_ops::Close(fd);
    else if (error == EINVAL)
        File_ops::Remove(path_);
    if (!path_.isEmpty() && lock_->tryLock(0))
        return true;
    if (!path_.isEmpty() && lock_->error() == QLockFile::LockFailedError) {
        if (Held_by_live_process())
            return false;
        // Left over: empty, unreadable, garbage or another machine's; nobody holds it.
        lock_->removeStaleLockFile();
        if (lock_->tryLock(0))
            return true;
    }
    qWarning("velantra-remote: cannot take the single-instance lock %s; starting without it, "
             "so a second copy would not be refused.",
             qPrintable(path_.isEmpty() ? QStringLiteral("(no folder of the user's own)") : QDir::toNativeSeparators(path_)));
    return true;
}

namespace {
std::future<std::pair<std::unique_ptr<Instance_lock>, bool>> &Early_attempt()
{
    static std::future<std::pair<std::unique_ptr<Instance_lock>, bool>> attempt;
    return attempt;
}
} // namespace

void Instance_lock::Begin_early()
{
    Early_attempt() = std::async(std::launch::async, [] {
        auto lock = std::make_unique<Instance_lock>();
        const bool acquired = lock->Try_acquire();
        return std::make_pair(std::move(lock), acquired);
    });
}

std::unique_ptr<Instance_lock> Instance_lock::Take_early(bool &acquired)
{
    if (!Early_attempt().valid())
        return nullptr;
    auto [lock, taken] = Early_attempt().get();
    acquired = taken;
    return std::move(lock);
}

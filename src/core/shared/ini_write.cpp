#include "core/shared/ini_write.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

namespace Ini {

Write_result Failed(int error_number)
{
    Write_result result;
    result.error_number = error_number != 0 ? error_number : EIO;
    result.error_text = QString::fromLocal8Bit(std::strerror(result.error_number));
    return result;
}

namespace {

Write_result Succeeded()
{
    Write_result result;
    result.ok = true;
    return result;
}

Attempt Done(const Write_result &result) { return {false, result}; }
Attempt Again() { return {true, {}}; }

// Whether the name path still leads to the file open on fd.
bool Still_named(int fd, const QString &path)
{
    const auto open_file = File_ops::Status_of(fd);
    if (!open_file)
        return false;
    const auto named = File_ops::Status_of(path);
    return named && File_ops::Same_file(*open_file, *named);
}

} // namespace

// Waits for the other writer's lock, but not for ever: a holder that never lets go
// is not worth a frozen window, and the check before the rename still stands.
void Lock(int fd, const QDeadlineTimer &patience)
{
    int error = 0;
    while (!File_ops::Try_lock(fd, &error) && (error == EWOULDBLOCK || error == EINTR) && !patience.hasExpired())
        QThread::msleep(1);
}

namespace {

// What was read of the old file: its size and a hash that tells any change (the
// fastest Qt has; nobody forges a settings file against it).
struct Copied
{
    QCryptographicHash old_bytes{QCryptographicHash::Md4};
    qint64 size = 0;
};

// Copies bytes [from, to) of in to out (to < 0: to the end; out < 0: nowhere), and
// hashes them. False with the error number on a failure.
bool Copy(Descriptor_reader &in, int out, qint64 &at, qint64 from, qint64 to, Copied &copied, int *error)
{
    if (!in.seek(from)) {
        *error = in.Error_number();
        return false;
    }
    qint64 left = to < 0 ? std::numeric_limits<qint64>::max() : to - from;
    QByteArray chunk(qBound<qint64>(1, qMin(left, in.size() - from), Chunk), Qt::Uninitialized);
    while (left > 0) {
        const qint64 got = in.read(chunk.data(), qMin<qint64>(chunk.size(), left));
        if (got < 0 || (got == 0 && to >= 0)) {
            *error = got < 0 ? in.Error_number() : EIO; // or the file grew shorter while being read
            return false;
        }
        if (got == 0)
            return true;
        const QByteArrayView bytes(chunk.constData(), got);
        copied.old_bytes.addData(bytes);
        copied.size += got;
        if (out >= 0) {
            if (!File_ops::Write_at(out, at, bytes, error))
                return false;
            at += got;
        }
        left -= got;
    }
    return true;
}

// Whether the file at path still holds exactly the bytes that were read.
bool Unchanged(const QString &path, const Copied &copied)
{
    int error = 0;
    Descriptor fd(File_ops::Open(path, File_ops::Access::Read, &error));
    if (fd.Get() < 0)
        return false;
    Descriptor_reader now(fd.Get());
    if (now.size() != copied.size)
        return false;
    Copied again;
    qint64 at = 0;
    return Copy(now, -1, at, 0, -1, again, &error) && again.old_bytes.result() == copied.old_bytes.result();
}

// Temporary files are the settings file's name and ".writing-" with six letters or
// digits; a live writer holds a lock on its own for as long as it writes. Earlier
// versions left a dot and six random letters or digits: taken for theirs only with
// a digit and a capital in it, so that a copy a person named ".backup" stays.
const QRegularExpression &Temporary_suffix()
{
    static const QRegularExpression suffix(
        QStringLiteral("^\\.(writing-[A-Za-z0-9]{6}|(?=.*[0-9])(?=.*[A-Z])[A-Za-z0-9]{6})$"));
    return suffix;
}

// A new temporary file beside path, locked; the descriptor or -1 with error set.
int Make_temporary(const QString &path, QString *name, int *error)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int tries = 0; tries < 100; ++tries) {
        QString candidate = path + QStringLiteral(".writing-");
        for (int i = 0; i < 6; ++i)
            candidate += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
        const int fd = File_ops::Open(candidate, File_ops::Access::Create_new, error);
        if (fd < 0 && *error == EEXIST)
            continue;
        if (fd < 0)
            return -1;
        // Taken for a leftover and locked, or removed, between its making and its lock:
        // another name.
        int lock_error = 0;
        const bool taken = !File_ops::Try_lock(fd, &lock_error) && lock_error == EWOULDBLOCK;
        std::optional<File_ops::Status> status;
        if (taken || ((status = File_ops::Status_of(fd)) && status->links == 0)) {
            File_ops::Close(fd);
            continue;
        }
        *name = candidate;
        return fd;
    }
    *error = EEXIST;
    return -1;
}

} // namespace

// Removes the temporary files of writers that were killed: nobody holds their lock.
void Remove_leftovers(const QString &path, int settings_fd)
{
    const QFileInfo settings(path);
    const std::optional<File_ops::Status> settings_file =
        settings_fd >= 0 ? File_ops::Status_of(settings_fd) : std::nullopt;
    const QStringList names = settings.dir().entryList({settings.fileName() + QStringLiteral(".*")},
                                                       QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!Temporary_suffix().match(name.mid(settings.fileName().size())).hasMatch())
            continue;
        const QString leftover = settings.dir().filePath(name);
        int error = 0;
        Descriptor fd(File_ops::Open(leftover, File_ops::Access::Read, &error));
        const auto status = fd.Get() >= 0 ? File_ops::Status_of(fd.Get()) : std::nullopt;
        if (!status)
            continue;
        // A kill between making a new file and dropping its temporary name leaves a
        // second name of the settings file itself, locked by this very write.
        if ((settings_file && File_ops::Same_file(*status, *settings_file)) || File_ops::Try_lock(fd.Get(), &error))
            File_ops::Remove(leftover);
    }
}

namespace {

// The file changed where it lies, for a folder that takes no new file. A kill at
// any moment leaves the old or the new value: a line that does not grow is padded
// with blanks (read as nothing); a file that grows is first lengthened by blanks at
// its end, so a lack of space changes nothing, and the rest goes in one write from
// the changed line on. A write is cut by a kill only between pages, so what remains
// is a file of more than one page (4 KiB) whose changed part spans two: its lines
// after the changed one could be left half moved. A failure puts the old bytes back.
Attempt Write_in_place(const QString &path, int locked_fd, const Names &names, const QString &value,
                       int fallback_error)
{
    int error = 0;
    Descriptor fd(File_ops::Open(path, File_ops::Access::Read_write, &error));
    if (fd.Get() < 0)
        return Done(Failed(fallback_error));
    if (!Still_named(locked_fd, path) || !Still_named(fd.Get(), path))
        return Again();
    Descriptor_reader in(fd.Get());
    const QByteArray old = in.readAll();
    if (in.Error_number() != 0)
        return Done(Failed(in.Error_number()));
    QBuffer buffer;
    buffer.setData(old);
    buffer.open(QIODevice::ReadOnly);
    const Scan s = Find(&buffer, names);
    Change change = Plan(s, names, value);
    const qint64 shrink = (change.to - change.from) - change.bytes.size();
    if (shrink > 0)
        change.bytes += Encode(QString(shrink / (Is_utf16(s.encoding) ? 2 : 1), QLatin1Char(' ')), s.encoding);
    const QByteArray now = old.left(change.from) + change.bytes + old.mid(change.to);
    const qint64 growth = now.size() - old.size();
    if (growth > 0
        && !File_ops::Write_at(fd.Get(), old.size(),
                               Encode(QString(growth / (Is_utf16(s.encoding) ? 2 : 1), QLatin1Char(' ')), s.encoding),
                               &error)) {
        File_ops::Truncate(fd.Get(), old.size());
        return Done(Failed(error));
    }
    const qint64 from = change.from;
    if (!File_ops::Write_at(fd.Get(), from, QByteArrayView(now).sliced(from), &error)
        || !File_ops::Sync(fd.Get(), &error)) {
        int ignored = 0;
        File_ops::Write_at(fd.Get(), from, QByteArrayView(old).sliced(from), &ignored);
        File_ops::Truncate(fd.Get(), old.size());
        return Done(Failed(error));
    }
    return Done(Succeeded());
}

} // namespace

// Writes the new file under a temporary name and puts it in place of the file that
// was read, or where none was (existing < 0). Locked by us, an existing file can
// still be changed by a writer that does not lock: its bytes are checked just before
// the rename, and a change starts the write again on the new content.
Attempt Write_new_file(const QString &path, int existing, const Names &names, const QString &value,
                       const std::function<void()> &before_replace)
{
    int error = 0;
    std::optional<Descriptor_reader> in;
    Descriptor reader(existing >= 0 ? File_ops::Open(path, File_ops::Access::Read, &error) : -1);
    if (existing >= 0) {
        if (reader.Get() < 0)
            return error == ENOENT ? Again() : Done(Failed(error));
        if (!Still_named(existing, path) || !Still_named(reader.Get(), path))
            return Again();
        in.emplace(reader.Get());
    }
    const Scan s = Find(in ? &*in : nullptr, names);
    if (s.failed)
        return Done(Failed(in->Error_number()));
    const Change change = Plan(s, names, value);

    QString temporary;
    Descriptor out(Make_temporary(path, &temporary, &error));
    if (out.Get() < 0) {
        if (existing >= 0)
            return Write_in_place(path, existing, names, value, error);
        return Done(Failed(error));
    }
    const auto fail = [&](int number) {
        File_ops::Remove(temporary);
        return Done(Failed(number));
    };
    Copied copied;
    qint64 at = 0;
    if (in) {
        File_ops::Keep_mode(existing, out.Get());
        if (!Copy(*in, out.Get(), at, 0, change.from, copied, &error)
            || !Copy(*in, -1, at, change.from, change.to, copied, &error))
            return fail(error);
    }
    if (!File_ops::Write_at(out.Get(), at, change.bytes, &error))
        return fail(error);
    at += change.bytes.size();
    if (in && !Copy(*in, out.Get(), at, change.to, -1, copied, &error))
        return fail(error);
    if (!File_ops::Sync(out.Get(), &error))
        return fail(error);
    if (before_replace)
        before_replace();
    if (in) {
        if (!Unchanged(path, copied)) {
            File_ops::Remove(temporary);
            return Again();
        }
        // Some systems refuse to rename over a file that is open.
        in.reset();
        reader.Reset();
        if (!File_ops::Replace(temporary, path, &error))
            return fail(error);
        return Done(Succeeded());
    }
    // A new file: linked under its name only if no other writer made one meanwhile.
    if (File_ops::Link(temporary, path, &error)) {
        File_ops::Remove(temporary);
        return Done(Succeeded());
    }
    if (error == EEXIST) {
        File_ops::Remove(temporary);
        return Again();
    }
    // A file system without hard links: a narrower check, then the rename.
    if (error == EPERM || error == EOPNOTSUPP || error == ENOSYS) {
        if (QFileInfo::exists(path)) {
            File_ops::Remove(temporary);
            return Again();
        }
        if (File_ops::Replace(temporary, path, &error))
            return Done(Succeeded());
    }
    return fail(error);
}

} // namespace Ini

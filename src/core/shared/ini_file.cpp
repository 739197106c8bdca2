#include "core/shared/ini_file.h"

#include "core/shared/ini_scan.h"
#include "core/shared/ini_write.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>

#include <cerrno>

namespace Ini {

QString Lookup(const QByteArray &file_bytes, const QString &section, const QString &key, bool *found)
{
    QBuffer buffer;
    buffer.setData(file_bytes);
    buffer.open(QIODevice::ReadOnly);
    const Scan s = Find(&buffer, Names(section, key));
    if (found)
        *found = s.key_found;
    return s.value;
}

QByteArray With_Value(const QByteArray &file_bytes, const QString &section, const QString &key,
                      const QString &value)
{
    QBuffer buffer;
    buffer.setData(file_bytes);
    buffer.open(QIODevice::ReadOnly);
    const Names names(section, key);
    const Change change = Plan(Find(&buffer, names), names, Profile_text(value));
    return file_bytes.left(change.from) + change.bytes + file_bytes.mid(change.to);
}

QString Read_Value(const QString &path, const QString &section, const QString &key)
{
    if (QDir::isRelativePath(path))
        return {};
    int error = 0;
    Descriptor file(File_ops::Open(path, File_ops::Access::Read, &error));
    if (file.Get() < 0)
        return {};
    Descriptor_reader in(file.Get());
    return Find(&in, Names(section, key)).value;
}

Write_result Write_Value(const QString &path, const QString &section, const QString &key,
                         const QString &value, const std::function<void()> &before_replace)
{
    if (QDir::isRelativePath(path))
        return Failed(ENOENT);
    const Names names(section, key);
    const QString stored = Profile_text(value);
    // Another writer that keeps changing the file is given its turns for a while.
    const QDeadlineTimer patience(2000);
    for (int attempt = 0; attempt < 5 || !patience.hasExpired(); ++attempt) {
        // Opened, not asked whether it exists: only ENOENT on opening means missing.
        int error = 0;
        Descriptor file(File_ops::Open(path, File_ops::Access::Read, &error));
        if (file.Get() < 0 && error != ENOENT)
            return Failed(error);
        // Two copies, or another program that locks the same way, take turns.
        if (file.Get() >= 0)
            Lock(file.Get(), patience);
        Remove_leftovers(path, file.Get());
        const Attempt a = Write_new_file(path, file.Get(), names, stored, before_replace);
        if (!a.again)
            return a.result;
    }
    return Failed(EAGAIN);
}

} // namespace Ini

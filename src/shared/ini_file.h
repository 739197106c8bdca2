#pragma once
// Private-profile (INI) files with the semantics officials' PCs have always had:
// names match case-insensitively, blanks around keys and values are trimmed, a
// value in a matching pair of double quotes loses them, ";" starts a comment line,
// the first matching section and key win. A write changes one line and keeps
// every other byte of the file as it was.

#include <QByteArray>
#include <QString>

namespace Ini {

// The value of key in section within the text of a file; found tells whether the
// key exists at all.
QString Lookup(const QByteArray &file_bytes, const QString &section, const QString &key,
               bool *found = nullptr);

// The file's new text after setting key in section to value.
QByteArray With_Value(const QByteArray &file_bytes, const QString &section, const QString &key,
                      const QString &value);

struct Write_result
{
    bool ok = false;
    int error_number = 0;  // the operating system's error number on failure
    QString error_text;    // and its description
};

// Sets one value in the file at path, replacing the file atomically (a temporary
// file beside it, then a rename), so a failure never leaves it half written.
Write_result Write_Value(const QString &path, const QString &section, const QString &key,
                         const QString &value);

// Reads one value; an unreadable or missing file reads as empty.
QString Read_Value(const QString &path, const QString &section, const QString &key);

} // namespace Ini

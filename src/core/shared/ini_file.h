#pragma once
// Private-profile (INI) files with the semantics officials' PCs have always had:
// names match case-insensitively, blanks around keys and values are trimmed, a
// value in a matching pair of double or single quotes loses them, ";" starts a
// comment line, the first matching section and key win. Lines may end in CR LF,
// LF or CR alone. A file that starts with a byte-order mark is read and written
// in its encoding (UTF-16 little or big endian, UTF-8); any other file is in the
// ANSI code page. A write changes one line and keeps every other byte as it was.
//
// Files are read as a stream: memory grows with the longest line, not the file
// (only a file changed in place is held whole).
// Names and values pass the ANSI code page both ways, whatever the file's
// encoding, and a text is taken up to its first line break or NUL, so a value
// can never add lines of its own to the file.

#include <QByteArray>
#include <QString>
#include <functional>

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

// Sets one value in the file at path. The new file is written beside the old one
// and renamed over it, so a failure (a full disk too) leaves the old file whole.
// Where the folder takes no new file but the file itself is writable, the file is
// changed in place: it is grown first, so a lack of space changes nothing, and
// put back as it was if a later step fails. A relative path is refused: the
// settings never go to whatever folder the program was started in.
// before_replace, when given, runs after the file was read and before the new one takes
// its place (a test plays another writer there).
Write_result Write_Value(const QString &path, const QString &section, const QString &key,
                         const QString &value, const std::function<void()> &before_replace = {});

// Reads one value; an unreadable or missing file, or a relative path, reads as empty.
QString Read_Value(const QString &path, const QString &section, const QString &key);

} // namespace Ini

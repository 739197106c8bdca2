#pragma once
// Reading a settings file (core/shared/ini_file.h): where a file holds one key, and what
// the file becomes with a new value for it. Files are read as a stream, line by line.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace Ini {

// Files are read and copied in pieces of this size.
constexpr qsizetype Chunk = 64 * 1024;

enum class Encoding { Ansi, Utf8, Utf16le, Utf16be };
inline bool Is_utf16(Encoding e) { return e == Encoding::Utf16le || e == Encoding::Utf16be; }
// A text in the file's encoding.
QByteArray Encode(const QString &text, Encoding e);

// A name or value as the file can hold it: up to its first line break or NUL (a C
// string ends there), in the ANSI code page.
QString Profile_text(const QString &text);

struct Line
{
    qint64 start = 0;    // file offset of its first byte
    qint64 body_end = 0; // of its line end
    qint64 end = 0;      // just past its line end
    QByteArrayView body; // without the line end; valid until the next line is read
};

// Names as the platform takes them: through the ANSI code page, blanks trimmed.
struct Names
{
    Names(const QString &section_name, const QString &key_name)
        : section(Profile_text(section_name).trimmed()), key(Profile_text(key_name).trimmed())
    {
    }
    QString section;
    QString key;
};

// Where a file holds one key, found in one pass that stops at the key or at the
// end of the first section of that name.
struct Scan
{
    Encoding encoding = Encoding::Ansi;
    QString line_end; // the file's own, CR LF when it has none
    bool failed = false;
    bool section_found = false;
    bool key_found = false;
    QString stored_key; // as the file spells it
    QString value;
    qint64 key_from = 0, key_to = 0; // the key line without its line end
    Line last;                       // the section's last non-blank line (or its header)
    bool last_has_end = true;
    qint64 data_end = 0;             // where a new section goes
    bool ends_with_line_end = true;
};

// The new file is the old one with bytes [from, to) replaced.
struct Change
{
    qint64 from = 0;
    qint64 to = 0;
    QByteArray bytes;
};

Scan Find(QIODevice *in, const Names &names);
Change Plan(const Scan &s, const Names &names, const QString &value);

} // namespace Ini

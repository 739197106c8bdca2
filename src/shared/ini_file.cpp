#include "shared/ini_file.h"

#include "shared/ansi_text.h"

#include <QFile>
#include <QList>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace Ini {
namespace {

struct Line
{
    QByteArray raw;     // as in the file, line end included
    QString content;    // decoded, without the line end
};

enum class Kind { Other, Comment, Section, Key };

struct Parsed
{
    Kind kind = Kind::Other;
    QString name;   // section or key name, trimmed
    QString value;  // key value, trimmed and unquoted
};

QList<Line> Split_lines(const QByteArray &bytes)
{
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = (end < 0) ? bytes.size() : end + 1;
        Line line;
        line.raw = bytes.mid(start, end - start);
        QByteArray body = line.raw;
        if (body.endsWith('\n'))
            body.chop(1);
        if (body.endsWith('\r'))
            body.chop(1);
        line.content = From_Ansi(body);
        lines.append(line);
        start = end;
    }
    return lines;
}

Parsed Parse(const QString &content)
{
    Parsed p;
    const QString text = content.trimmed();
    if (text.startsWith(QLatin1Char(';'))) {
        p.kind = Kind::Comment;
    } else if (text.startsWith(QLatin1Char('['))) {
        p.kind = Kind::Section;
        qsizetype close = text.indexOf(QLatin1Char(']'));
        p.name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
    } else {
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        if (eq >= 0) {
            p.kind = Kind::Key;
            p.name = text.left(eq).trimmed();
            p.value = text.mid(eq + 1).trimmed();
            if (p.value.size() >= 2 && p.value.startsWith(QLatin1Char('"'))
                && p.value.endsWith(QLatin1Char('"')))
                p.value = p.value.mid(1, p.value.size() - 2);
        }
    }
    return p;
}

bool Same_name(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// Lines [first, end) of the first section of that name; first is the header. -1 if none.
struct Section_range
{
    qsizetype first = -1;
    qsizetype end = -1;
};

Section_range Find_section(const QList<Line> &lines, const QString &section)
{
    Section_range r;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Parsed p = Parse(lines[i].content);
        if (p.kind != Kind::Section)
            continue;
        if (r.first >= 0) {
            r.end = i;
            return r;
        }
        if (Same_name(p.name, section))
            r.first = i;
    }
    if (r.first >= 0)
        r.end = lines.size();
    return r;
}

qsizetype Find_key(const QList<Line> &lines, const Section_range &r, const QString &key)
{
    for (qsizetype i = r.first + 1; i < r.end; ++i) {
        const Parsed p = Parse(lines[i].content);
        if (p.kind == Kind::Key && Same_name(p.name, key))
            return i;
    }
    return -1;
}

QByteArray Line_end_of(const QByteArray &raw)
{
    if (raw.endsWith("\r\n"))
        return QByteArrayLiteral("\r\n");
    if (raw.endsWith('\n'))
        return QByteArrayLiteral("\n");
    return {};
}

const QByteArray crlf = QByteArrayLiteral("\r\n");

} // namespace

QString Lookup(const QByteArray &file_bytes, const QString &section, const QString &key, bool *found)
{
    if (found)
        *found = false;
    const QList<Line> lines = Split_lines(file_bytes);
    const Section_range r = Find_section(lines, section);
    if (r.first < 0)
        return {};
    const qsizetype at = Find_key(lines, r, key);
    if (at < 0)
        return {};
    if (found)
        *found = true;
    return Parse(lines[at].content).value;
}

QByteArray With_Value(const QByteArray &file_bytes, const QString &section, const QString &key,
                      const QString &value)
{
    QList<Line> lines = Split_lines(file_bytes);
    const Section_range r = Find_section(lines, section);
    const QByteArray key_line = To_Ansi(key) + '=' + To_Ansi(value);

    if (r.first < 0) {
        QByteArray out = file_bytes;
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += crlf;
        out += '[' + To_Ansi(section) + ']' + crlf + key_line + crlf;
        return out;
    }

    const qsizetype at = Find_key(lines, r, key);
    if (at >= 0) {
        // Keep the key as the file spells it; only the value changes.
        const QString stored_key = Parse(lines[at].content).name;
        lines[at].raw = To_Ansi(stored_key) + '=' + To_Ansi(value) + Line_end_of(lines[at].raw);
    } else {
        // A new key goes after the last non-blank line of its section.
        qsizetype after = r.first;
        for (qsizetype i = r.first + 1; i < r.end; ++i) {
            if (!lines[i].content.trimmed().isEmpty())
                after = i;
        }
        if (!lines[after].raw.endsWith('\n'))
            lines[after].raw += crlf;
        lines.insert(after + 1, Line{key_line + crlf, QString()});
    }

    QByteArray out;
    for (const Line &line : lines)
        out += line.raw;
    return out;
}

QString Read_Value(const QString &path, const QString &section, const QString &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return Lookup(file.readAll(), section, key);
}

Write_result Write_Value(const QString &path, const QString &section, const QString &key,
                         const QString &value)
{
    Write_result result;
    auto fail = [&result](const QString &qt_text) {
        const int err = errno;
        result.ok = false;
        result.error_number = err != 0 ? err : EIO;
        result.error_text = err != 0 ? QString::fromLocal8Bit(std::strerror(err)) : qt_text;
        return result;
    };

    QByteArray current;
    QFile existing(path);
    if (existing.exists()) {
        errno = 0;
        if (!existing.open(QIODevice::ReadOnly))
            return fail(existing.errorString());
        current = existing.readAll();
        existing.close();
    }

    QSaveFile out(path);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());
    const QByteArray bytes = With_Value(current, section, key, value);
    errno = 0;
    if (out.write(bytes) != bytes.size())
        return fail(out.errorString());
    errno = 0;
    if (!out.commit())
        return fail(out.errorString());
    result.ok = true;
    return result;
}

} // namespace Ini

#include "shared/ini_file.h"

#include "shared/ansi_text.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <limits>

namespace Ini {

namespace {

constexpr qsizetype Chunk = 64 * 1024;

enum class Encoding { Ansi, Utf8, Utf16le, Utf16be };

bool Is_utf16(Encoding e) { return e == Encoding::Utf16le || e == Encoding::Utf16be; }

QStringConverter::Encoding Unicode_form(Encoding e)
{
    switch (e) {
    case Encoding::Utf16le: return QStringConverter::Utf16LE;
    case Encoding::Utf16be: return QStringConverter::Utf16BE;
    default: return QStringConverter::Utf8;
    }
}

QString Decode(QByteArrayView bytes, Encoding e)
{
    if (e == Encoding::Ansi)
        return From_Ansi(QByteArray::fromRawData(bytes.data(), bytes.size()));
    return QStringDecoder(Unicode_form(e), QStringConverter::Flag::Stateless).decode(bytes);
}

QByteArray Encode(const QString &text, Encoding e)
{
    if (e == Encoding::Ansi)
        return To_Ansi(text);
    return QStringEncoder(Unicode_form(e), QStringConverter::Flag::Stateless).encode(text);
}

// What a text becomes on its way through the ANSI code page.
QString Through_ansi(const QString &text) { return From_Ansi(To_Ansi(text)); }

// A name or value as the file can hold it: up to its first line break or NUL (a C
// string ends there), in the ANSI code page.
QString Profile_text(const QString &text)
{
    qsizetype end = 0;
    while (end < text.size() && text[end] != QLatin1Char('\0') && text[end] != QLatin1Char('\r')
           && text[end] != QLatin1Char('\n'))
        ++end;
    return Through_ansi(text.left(end));
}

struct Line
{
    qint64 start = 0;    // file offset of its first byte
    qint64 body_end = 0; // of its line end
    qint64 end = 0;      // just past its line end
    QByteArrayView body; // without the line end; valid until the next line is read
};

// Reads a file line by line in chunks. A UTF-16 file's odd last byte is no
// character: it is not read and stays where it is.
class Line_reader
{
public:
    explicit Line_reader(QIODevice *in) : in_(in)
    {
        while (buf_.size() < 3 && Fill()) {
        }
        if (buf_.startsWith("\xFF\xFE"))
            Set_encoding(Encoding::Utf16le, 2);
        else if (buf_.startsWith("\xFE\xFF"))
            Set_encoding(Encoding::Utf16be, 2);
        else if (buf_.startsWith("\xEF\xBB\xBF"))
            Set_encoding(Encoding::Utf8, 3);
        data_end_ = bom_;
    }

    Encoding encoding() const { return encoding_; }
    QString Line_end() const { return line_end_; }  // the first one seen; empty if none yet
    qint64 Data_end() const { return data_end_; }    // past the last whole character read
    bool Ended_with_line_end() const { return last_had_end_; }
    bool Failed() const { return failed_; }

    bool Next(Line &line)
    {
        qsizetype look = 0; // bytes after pos_ known to hold no line end
        for (;;) {
            const qsizetype n = unit_ == 2 ? pos_ + ((buf_.size() - pos_) & ~qsizetype(1)) : buf_.size();
            qsizetype i = pos_ + look;
            if (unit_ == 1) {
                const char *d = buf_.constData();
                while (i < n && d[i] != '\r' && d[i] != '\n')
                    ++i;
            } else {
                while (i < n && Unit(i) != '\r' && Unit(i) != '\n')
                    i += 2;
            }
            look = i - pos_;
            if (i == n && !eof_) {
                Fill();
                continue;
            }
            qsizetype end_size = 0;
            if (i < n) {
                const bool cr = Unit(i) == '\r';
                if (cr && i + unit_ == n && !eof_) {
                    Fill(); // is the CR followed by a LF?
                    continue;
                }
                end_size = (cr && i + unit_ < n && Unit(i + unit_) == '\n') ? 2 * unit_ : unit_;
                if (line_end_.isEmpty())
                    line_end_ = end_size == 2 * unit_ ? QStringLiteral("\r\n") : QString(QChar(Unit(i)));
            } else if (i == pos_) {
                return false;
            }
            line.start = base_ + pos_;
            line.body_end = base_ + i;
            line.end = line.body_end + end_size;
            line.body = QByteArrayView(buf_.constData() + pos_, i - pos_);
            last_had_end_ = end_size > 0;
            data_end_ = line.end;
            pos_ = i + end_size;
            return true;
        }
    }

private:
    void Set_encoding(Encoding e, qsizetype bom)
    {
        encoding_ = e;
        unit_ = Is_utf16(e) ? 2 : 1;
        bom_ = pos_ = bom;
    }

    bool Fill()
    {
        if (eof_ || !in_) {
            eof_ = true;
            return false;
        }
        buf_.remove(0, pos_);
        base_ += pos_;
        pos_ = 0;
        // No more than the file holds: most settings files are a few lines.
        const qint64 want = in_->isSequential() ? Chunk : qBound<qint64>(1, in_->size() - in_->pos(), Chunk);
        const qsizetype old = buf_.size();
        buf_.resize(old + want);
        const qint64 got = in_->read(buf_.data() + old, want);
        buf_.resize(old + qMax<qint64>(got, 0));
        if (got <= 0) {
            eof_ = true;
            failed_ = got < 0;
            return false;
        }
        return true;
    }

    char16_t Unit(qsizetype i) const
    {
        const char *p = buf_.constData() + i;
        switch (encoding_) {
        case Encoding::Utf16le: return qFromLittleEndian<quint16>(p);
        case Encoding::Utf16be: return qFromBigEndian<quint16>(p);
        default: return char16_t(uchar(*p));
        }
    }

    QIODevice *in_;
    QByteArray buf_;
    qsizetype pos_ = 0; // next unread byte of buf_
    qint64 base_ = 0;   // file offset of buf_[0]
    bool eof_ = false;
    bool failed_ = false;
    Encoding encoding_ = Encoding::Ansi;
    int unit_ = 1;
    qint64 bom_ = 0;
    qint64 data_end_ = 0;
    bool last_had_end_ = true; // an empty file needs no line end before new lines
    QString line_end_;
};

enum class Kind { Other, Comment, Section, Key };

template <typename View> struct Parsed
{
    Kind kind = Kind::Other;
    bool blank = true;
    View name;  // section or key name, trimmed
    View value; // key value, trimmed and unquoted
};

template <typename View> Parsed<View> Parse(View text)
{
    Parsed<View> p;
    text = text.trimmed();
    p.blank = text.isEmpty();
    if (text.startsWith(QLatin1Char(';'))) {
        p.kind = Kind::Comment;
    } else if (text.startsWith(QLatin1Char('['))) {
        p.kind = Kind::Section;
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        p.name = (close < 0 ? text.sliced(1) : text.sliced(1, close - 1)).trimmed();
    } else {
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        if (eq >= 0) {
            p.kind = Kind::Key;
            p.name = text.first(eq).trimmed();
            p.value = text.sliced(eq + 1).trimmed();
            for (const QLatin1Char quote : {QLatin1Char('"'), QLatin1Char('\'')}) {
                if (p.value.size() >= 2 && p.value.startsWith(quote) && p.value.endsWith(quote)) {
                    p.value = p.value.sliced(1, p.value.size() - 2);
                    break;
                }
            }
        }
    }
    return p;
}

bool Same_name(QLatin1String a, const QString &b) { return QString::compare(b, a, Qt::CaseInsensitive) == 0; }
bool Same_name(QStringView a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
QString To_string(QLatin1String text) { return QString(text); }
QString To_string(QStringView text) { return text.toString(); }

bool Is_ascii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

// Calls f with the parsed line; plain ASCII (most lines) is parsed without decoding.
template <typename F> bool Visit(const Line &line, Encoding e, F &&f)
{
    if (!Is_utf16(e) && Is_ascii(line.body))
        return f(Parse(QLatin1String(line.body.data(), line.body.size())));
    const QString text = Decode(line.body, e);
    return f(Parse(QStringView(text)));
}

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

Scan Find(QIODevice *in, const Names &names)
{
    Line_reader reader(in);
    Scan s;
    bool in_section = false;
    bool stopped = false;
    Line line;
    while (!stopped && reader.Next(line)) {
        stopped = Visit(line, reader.encoding(), [&](const auto &p) {
            if (p.kind == Kind::Section) {
                if (in_section)
                    return true; // only the first section of that name counts
                in_section = Same_name(p.name, names.section);
            } else if (!in_section || p.blank) {
                return false;
            } else if (p.kind == Kind::Key && Same_name(p.name, names.key)) {
                s.key_found = true;
                s.stored_key = To_string(p.name);
                s.value = To_string(p.value);
                s.key_from = line.start;
                s.key_to = line.body_end;
                return true;
            }
            if (in_section) {
                s.section_found = true;
                s.last = line;
                s.last_has_end = line.end > line.body_end;
            }
            return false;
        });
    }
    s.encoding = reader.encoding();
    s.line_end = reader.Line_end().isEmpty() ? QStringLiteral("\r\n") : reader.Line_end();
    s.failed = reader.Failed();
    s.data_end = reader.Data_end();
    s.ends_with_line_end = reader.Ended_with_line_end();
    if (s.encoding != Encoding::Ansi)
        s.value = Through_ansi(s.value);
    return s;
}

// The new file is the old one with bytes [from, to) replaced.
struct Change
{
    qint64 from = 0;
    qint64 to = 0;
    QByteArray bytes;
};

Change Plan(const Scan &s, const Names &names, const QString &value)
{
    const auto encode = [&s](const QString &text) { return Encode(text, s.encoding); };
    if (s.key_found)
        return {s.key_from, s.key_to, encode(s.stored_key + QLatin1Char('=') + value)};
    const QString key_line = names.key + QLatin1Char('=') + value + s.line_end;
    if (s.section_found) {
        // A new key goes after the last non-blank line of its section.
        if (s.last_has_end)
            return {s.last.end, s.last.end, encode(key_line)};
        return {s.last.body_end, s.last.body_end, encode(s.line_end + key_line)};
    }
    const QString before = s.ends_with_line_end ? QString() : s.line_end;
    return {s.data_end, s.data_end,
            encode(before + QLatin1Char('[') + names.section + QLatin1Char(']') + s.line_end + key_line)};
}

Write_result Failed(int error_number, const QString &fallback_text = QString())
{
    Write_result result;
    result.error_number = error_number != 0 ? error_number : EIO;
    result.error_text = error_number != 0 || fallback_text.isEmpty()
                            ? QString::fromLocal8Bit(std::strerror(result.error_number))
                            : fallback_text;
    return result;
}

Write_result Succeeded()
{
    Write_result result;
    result.ok = true;
    return result;
}

// Copies bytes [from, to) of in to out, to < 0 meaning the end. False on a failure,
// with errno telling which.
bool Copy(QIODevice &in, QFileDevice &out, qint64 from, qint64 to)
{
    if (!in.seek(from))
        return false;
    qint64 left = to < 0 ? std::numeric_limits<qint64>::max() : to - from;
    QByteArray chunk(qBound<qint64>(1, qMin(left, in.size() - from), Chunk), Qt::Uninitialized);
    while (left > 0) {
        errno = 0;
        const qint64 got = in.read(chunk.data(), qMin<qint64>(chunk.size(), left));
        if (got < 0)
            return false;
        if (got == 0) {
            if (to < 0)
                return true;
            errno = EIO; // the file grew shorter while being read
            return false;
        }
        if (out.write(chunk.constData(), got) != got)
            return false;
        left -= got;
    }
    return true;
}

bool Write_changed(QIODevice *in, QFileDevice &out, const Change &change)
{
    errno = 0;
    if (in && !Copy(*in, out, 0, change.from))
        return false;
    if (out.write(change.bytes) != change.bytes.size())
        return false;
    if (in && !Copy(*in, out, change.to, -1))
        return false;
    // The device buffers: only a flush shows whether the last bytes found room.
    return out.flush();
}

bool Write_at(QFile &file, qint64 at, const QByteArray &bytes)
{
    return file.seek(at) && file.write(bytes) == bytes.size();
}

// The file changed where it lies, for a folder that takes no new file.
Write_result Write_in_place(QFile &file, const Change &change)
{
    errno = 0;
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Failed(errno, file.errorString());
    const QByteArray now = old.left(change.from) + change.bytes + old.mid(change.to);
    // Grown first: if the disk is full, nothing of the old text was touched yet.
    errno = 0;
    if (now.size() > old.size() && !Write_at(file, old.size(), now.mid(old.size()))) {
        const int error = errno;
        file.resize(old.size());
        return Failed(error, file.errorString());
    }
    // The bytes before the change stay as they are.
    const qint64 from = change.from;
    if (!Write_at(file, from, now.mid(from, qMin(old.size(), now.size()) - from))
        || (now.size() < old.size() && !file.resize(now.size()))) {
        const int error = errno;
        const QString text = file.errorString();
        Write_at(file, from, old.mid(from));
        file.resize(old.size());
        return Failed(error, text);
    }
    return Succeeded();
}

Write_result Replace(const QString &path, QFile &in, const Change &change,
                     const std::function<void()> &before_replace)
{
    QSaveFile out(path);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly)) {
        // The folder takes no temporary file: the file itself may still be writable.
        QFile direct(path);
        errno = 0;
        if (direct.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            return Write_in_place(direct, change);
        return Failed(errno, out.errorString());
    }
    if (!Write_changed(&in, out, change))
        return Failed(errno, out.errorString()); // out's temporary file goes with it
    if (before_replace)
        before_replace();
    errno = 0;
    if (!out.commit())
        return Failed(errno, out.errorString());
    return Succeeded();
}

// A new file, written under a temporary name and renamed only if no other writer
// has made one meanwhile (appeared tells that).
Write_result Create(const QString &path, const Change &change, bool *appeared,
                    const std::function<void()> &before_replace)
{
    QTemporaryFile out(path + QStringLiteral(".XXXXXX"));
    errno = 0;
    if (!out.open())
        return Failed(errno, out.errorString());
    if (!Write_changed(nullptr, out, change))
        return Failed(errno, out.errorString());
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                       | QFileDevice::ReadOther);
    if (before_replace)
        before_replace();
    errno = 0;
    if (!out.rename(path)) {
        const int error = errno;
        *appeared = QFileInfo::exists(path);
        return Failed(error, out.errorString());
    }
    out.setAutoRemove(false); // it is the settings file now
    return Succeeded();
}

} // namespace

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const Scan s = Find(&file, Names(section, key));
    return s.value;
}

Write_result Write_Value(const QString &path, const QString &section, const QString &key,
                         const QString &value, const std::function<void()> &before_replace)
{
    if (QDir::isRelativePath(path))
        return Failed(ENOENT);
    const Names names(section, key);
    const QString stored = Profile_text(value);
    // A file that appears between the read and the write is another writer's:
    // read it again rather than write over it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Opened, not asked whether it exists: only ENOENT on opening means missing.
        QFile in(path);
        errno = 0;
        const bool exists = in.open(QIODevice::ReadOnly);
        if (!exists && errno != ENOENT)
            return Failed(errno, in.errorString());
        const Scan s = Find(exists ? &in : nullptr, names);
        if (s.failed)
            return Failed(errno, in.errorString());
        const Change change = Plan(s, names, stored);
        if (exists)
            return Replace(path, in, change, before_replace);
        bool appeared = false;
        const Write_result r = Create(path, change, &appeared, before_replace);
        if (!appeared)
            return r;
    }
    return Failed(EEXIST);
}

} // namespace Ini

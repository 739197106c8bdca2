#include "core/shared/ini_scan.h"

#include "core/shared/ansi_text.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>

#include <limits>

namespace Ini {

namespace {

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

// What a text becomes on its way through the ANSI code page.
QString Through_ansi(const QString &text) { return From_Ansi(To_Ansi(text)); }

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

} // namespace

QByteArray Encode(const QString &text, Encoding e)
{
    if (e == Encoding::Ansi)
        return To_Ansi(text);
    return QStringEncoder(Unicode_form(e), QStringConverter::Flag::Stateless).encode(text);
}

QString Profile_text(const QString &text)
{
    qsizetype end = 0;
    while (end < text.size() && text[end] != QLatin1Char('\0') && text[end] != QLatin1Char('\r')
           && text[end] != QLatin1Char('\n'))
        ++end;
    return Through_ansi(text.left(end));
}

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

} // namespace Ini

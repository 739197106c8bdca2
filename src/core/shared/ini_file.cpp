#include "core/shared/ini_file.h"

#include "core/shared/ansi_text.h"
#include "core/shared/file_ops.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QThread>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

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

Write_result Failed(int error_number)
{
    Write_result result;
    result.error_number = error_number != 0 ? error_number : EIO;
    result.error_text = QString::fromLocal8Bit(std::strerror(result.error_number));
    return result;
}

Write_result Succeeded()
{
    Write_result result;
    result.ok = true;
    return result;
}

// What one attempt of a write came to: done (well or not), or to be made again on
// the file as it is now, because another writer changed it meanwhile.
struct Attempt
{
    bool again = false;
    Write_result result;
};

Attempt Done(const Write_result &result) { return {false, result}; }
Attempt Again() { return {true, {}}; }

// A descriptor closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int Get() const { return fd_; }
    void Reset(int fd = -1)
    {
        if (fd_ >= 0)
            File_ops::Close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// A descriptor read through QIODevice; a failed read keeps its own error number.
class Descriptor_reader final : public QIODevice
{
public:
    explicit Descriptor_reader(int fd) : fd_(fd) { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    int Error_number() const { return error_; }
    qint64 size() const override
    {
        const auto status = File_ops::Status_of(fd_);
        return status ? status->size : 0;
    }
    bool seek(qint64 at) override { return File_ops::Seek(fd_, at, &error_) && QIODevice::seek(at); }

protected:
    qint64 readData(char *data, qint64 most) override { return File_ops::Read(fd_, data, most, &error_); }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    int fd_;
    int error_ = 0;
};

// Whether the name path still leads to the file open on fd.
bool Still_named(int fd, const QString &path)
{
    const auto open_file = File_ops::Status_of(fd);
    if (!open_file)
        return false;
    const auto named = File_ops::Status_of(path);
    return named && File_ops::Same_file(*open_file, *named);
}

// Waits for the other writer's lock, but not for ever: a holder that never lets go
// is not worth a frozen window, and the check before the rename still stands.
void Lock(int fd, const QDeadlineTimer &patience)
{
    int error = 0;
    while (!File_ops::Try_lock(fd, &error) && (error == EWOULDBLOCK || error == EINTR) && !patience.hasExpired())
        QThread::msleep(1);
}

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

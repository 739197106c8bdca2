// The settings reader and writer: any file, any names and value. A value written
// reads back; no other key changes; writing it again changes nothing; the file on
// disk is what the in-memory form says.
#include "fuzz_check.h"
#include "core/shared/ansi_text.h"
#include "core/shared/ini_file.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

// Mostly the characters that give a settings file its shape.
QString Shaped(const std::string &raw, const char *alphabet)
{
    const size_t n = std::char_traits<char>::length(alphabet);
    QString text;
    for (const char c : raw)
        text += QLatin1Char(alphabet[uchar(c) % n]);
    return text;
}

// A name or value as the file holds it: to the first line break or NUL, in ANSI.
QString As_stored(const QString &text)
{
    qsizetype end = 0;
    while (end < text.size() && text[end] != QLatin1Char('\0') && text[end] != QLatin1Char('\r')
           && text[end] != QLatin1Char('\n'))
        ++end;
    return From_Ansi(To_Ansi(text.left(end)));
}

// ANSI, or UTF-8, UTF-16 LE or BE with their byte-order marks.
QByteArray Encoded(const QString &text, int encoding)
{
    if (encoding == 0)
        return To_Ansi(text);
    const QStringConverter::Encoding unicode[] = {QStringConverter::Utf8, QStringConverter::Utf16LE, QStringConverter::Utf16BE};
    return QStringEncoder(unicode[encoding - 1], QStringConverter::Flag::WriteBom).encode(text);
}

QString Folder()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/velantra-fuzz-XXXXXX")
                                                                     : QDir::tempPath() + QStringLiteral("/velantra-fuzz-XXXXXX"));
    return dir.path();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString section = Shaped(in.ConsumeRandomLengthString(6), "sSk] =;[\t");
    const QString key = Shaped(in.ConsumeRandomLengthString(6), "kKs= ;[\t");
    const QString value = QString::fromUtf8(in.ConsumeRandomLengthString(24));
    const int encoding = in.ConsumeIntegralInRange(0, 4); // 4: raw bytes, whatever they hold
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray before = encoding == 4 ? QByteArray::fromStdString(rest)
                                            : Encoded(Shaped(rest, "[]=;\"' \t\r\n\r\nsSkKab12\xe4"), encoding);

    const QByteArray after = Ini::With_Value(before, section, key, value);

    // A name the file can hold as one: a section without "]", a key without "=" that
    // is neither a comment nor a section header.
    const QString s = As_stored(section).trimmed(), k = As_stored(key).trimmed();
    const bool well_formed = !s.contains(QLatin1Char(']')) && !k.contains(QLatin1Char('='))
                             && !k.startsWith(QLatin1Char(';')) && !k.startsWith(QLatin1Char('['));
    if (well_formed) {
        FUZZ_CHECK(Ini::With_Value(after, section, key, value) == after);
        bool found = false;
        const QString read = Ini::Lookup(after, section, key, &found);
        FUZZ_CHECK(found);
        const QString stored = As_stored(value);
        const bool quoted = stored.size() >= 2 && stored.front() == stored.back()
                            && (stored.front() == QLatin1Char('"') || stored.front() == QLatin1Char('\''));
        if (stored == stored.trimmed() && !quoted)
            FUZZ_CHECK(read == stored);
        for (const QString &other_section : {s, QStringLiteral("s"), QStringLiteral("k")}) {
            for (const QString &other_key : {k, QStringLiteral("k"), QStringLiteral("s"), QStringLiteral("K ")}) {
                if (QString::compare(other_section, s, Qt::CaseInsensitive) == 0
                    && QString::compare(other_key.trimmed(), k, Qt::CaseInsensitive) == 0)
                    continue;
                bool was = false, is = false;
                FUZZ_CHECK(Ini::Lookup(before, other_section, other_key, &was)
                           == Ini::Lookup(after, other_section, other_key, &is));
                FUZZ_CHECK(was == is);
            }
        }
    }

    // The file on disk goes the same way.
    const QString path = Folder() + QStringLiteral("/Velantra_remote.ini");
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
    }
    FUZZ_CHECK(Ini::Write_Value(path, section, key, value).ok);
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly) && file.readAll() == after);
    FUZZ_CHECK(Ini::Read_Value(path, section, key) == Ini::Lookup(after, section, key));
    return 0;
}

#include "core/shared/ansi_text.h"

#include <QTextCodec>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {
QTextCodec *codec()
{
    static QTextCodec *c = QTextCodec::codecForName("Windows-1252");
    return c;
}

// The code page maps each byte on its own, so the codec's answer for every byte is
// taken once: the codec opens a converter on every call, which costs a flood of
// received lines more than all the rest of a read, and every start its time. Not
// usable when a byte does not come back as one character (then the codec does it all).
struct Byte_table
{
    std::array<char16_t, 256> to_unicode{};
    std::array<qint16, 256> from_latin1{}; // the byte of a character below U+0100, or -1
    std::vector<std::pair<char16_t, char>> from_other; // the rest of the code page, sorted
    bool usable = false;

    // The byte of a character of the code page; false for one it lacks.
    bool Byte_of(char16_t c, char &byte) const
    {
        if (c < 0x100) {
            byte = char(from_latin1[c]);
            return from_latin1[c] >= 0;
        }
        const auto it = std::lower_bound(from_other.begin(), from_other.end(), std::make_pair(c, char(0)),
                                         [](const auto &a, const auto &b) { return a.first < b.first; });
        if (it == from_other.end() || it->first != c)
            return false;
        byte = it->second;
        return true;
    }
};

const Byte_table &Table()
{
    static const Byte_table table = [] {
        Byte_table t;
        QTextCodec *c = codec();
        if (!c)
            return t;
        QByteArray all(256, '\0');
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        const QString text = c->toUnicode(all);
        if (text.size() != 256)
            return t;
        t.from_latin1.fill(-1);
        for (int b = 0; b < 256; ++b) {
            const char16_t c = text.at(b).unicode();
            t.to_unicode[size_t(b)] = c;
            if (c == 0xFFFD)
                continue; // a byte the code page leaves undefined: no character comes back to it
            if (c < 0x100)
                t.from_latin1[c] = qint16(b);
            else
                t.from_other.emplace_back(c, char(b));
        }
        std::sort(t.from_other.begin(), t.from_other.end());
        t.usable = true;
        return t;
    }();
    return table;
}
} // namespace

QByteArray To_Ansi(const QString &text)
{
    const Byte_table &table = Table();
    if (table.usable) {
        QByteArray bytes(text.size(), Qt::Uninitialized);
        char *out = bytes.data();
        bool whole = true;
        for (const QChar c : text)
            whole = whole && table.Byte_of(c.unicode(), *out++);
        if (whole)
            return bytes;
        // A character the code page lacks: the codec says what stands for it.
    }
    if (QTextCodec *c = codec())
        return c->fromUnicode(text);
    return text.toLatin1();
}

QString From_Ansi(const QByteArray &bytes)
{
    const Byte_table &table = Table();
    if (table.usable) {
        QString text(bytes.size(), Qt::Uninitialized);
        char16_t *out = reinterpret_cast<char16_t *>(text.data());
        for (const char byte : bytes)
            *out++ = table.to_unicode[quint8(byte)];
        return text;
    }
    if (QTextCodec *c = codec())
        return c->toUnicode(bytes);
    return QString::fromLatin1(bytes);
}

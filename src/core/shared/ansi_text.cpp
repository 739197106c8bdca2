#include "core/shared/ansi_text.h"

#include <QTextCodec>

#include <array>

namespace {
QTextCodec *codec()
{
    static QTextCodec *c = QTextCodec::codecForName("Windows-1252");
    return c;
}

// The code page maps each byte on its own, so the codec's answer for every byte is
// taken once: the codec opens a converter on every call, which costs a flood of
// received lines more than all the rest of a read. Empty when a byte does not
// come back as one character (then the codec decodes, as before).
struct Byte_table
{
    std::array<char16_t, 256> to_unicode{};
    bool usable = false;
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
        for (int b = 0; b < 256; ++b)
            t.to_unicode[size_t(b)] = text.at(b).unicode();
        t.usable = true;
        return t;
    }();
    return table;
}
} // namespace

QByteArray To_Ansi(const QString &text)
{
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

#include "core/shared/ansi_text.h"

#include <QTextCodec>

namespace {
QTextCodec *codec()
{
    static QTextCodec *c = QTextCodec::codecForName("Windows-1252");
    return c;
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
    if (QTextCodec *c = codec())
        return c->toUnicode(bytes);
    return QString::fromLatin1(bytes);
}

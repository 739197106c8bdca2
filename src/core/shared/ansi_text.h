#pragma once
// Text leaves and enters the program in the Windows-1252 code page, one byte a
// character; characters outside it become "?", those that show nothing (marks of
// direction, joiners) are left out.

#include <QByteArray>
#include <QString>

QByteArray To_Ansi(const QString &text);
QString From_Ansi(const QByteArray &bytes);

#pragma once
// The user's general date format and the date of a file in it.

#include <QDateTime>
#include <QLocale>
#include <QString>

// The locale's long time, without the zone name Qt adds to it.
QString Long_time_text(const QTime &time, const QLocale &locale = QLocale());
// Short date and long time of the locale (the general date format shows the local clock only).
QString General_date_text(const QDateTime &moment, const QLocale &locale = QLocale());

// The last-modification date and time of the file at path in the general date
// format. A failure goes to the failure route under the given location and the
// result is empty.
QString File_date_of(const QString &path, const QString &location);

// Date and time the program file was last changed, in the locale's general format.
// A failure goes to the failure route and the result is empty.
QString FileDate();

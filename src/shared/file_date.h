#pragma once
// The user's general date format and the date of a file in it.

#include <QDateTime>
#include <QString>

// Short date and long time of the current locale, without a time-zone name
// (the general date format shows the local clock only).
QString General_date_text(const QDateTime &moment);

// The last-modification date and time of the file at path in the general date
// format. A failure goes to the error-report window under the given location and
// the result is empty.
QString File_date_of(const QString &path, const QString &location);

#include "core/shared/file_date.h"

#include "core/shared/failure.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace {
constexpr qint16 File_not_found = 53; // the report's number for a missing file
} // namespace

QString Long_time_text(const QTime &time, const QLocale &locale)
{
    QString time_format = locale.timeFormat(QLocale::LongFormat);
    // Qt's long time carries the zone ("t"); a time of day wants the clock alone.
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?\\bt+\\b\\)?"));
    time_format.remove(zone);
    return locale.toString(time, time_format.trimmed());
}

QString General_date_text(const QDateTime &moment, const QLocale &locale)
{
    return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + Long_time_text(moment.time(), locale);
}

QString File_date_of(const QString &path, const QString &location)
{
    qint16 step = 10;
    try {
        const QFileInfo info(path);
        step = 20;
        const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
        if (path.isEmpty() || !modified.isValid())
            throw Numbered_failure(QStringLiteral("File not found"), File_not_found);
        step = 30;
        return General_date_text(modified);
    } catch (...) {
        Report_failure(location, step);
    }
    return {};
}

QString FileDate()
{
    return File_date_of(QCoreApplication::applicationFilePath(),
                        QStringLiteral("FileDate of Module Non_dependant"));
}

#include "core/shared/time_texts.h"

#include "core/platform/system_calls.h"

QString Time_Stamp(const QTime &time) { return time.toString(QStringLiteral("HH:mm:ss")); }
QString Time_Stamp()
{
    // Read and written out directly: every Start carries it, and on the board's thread,
    // asleep between starts, Qt's clock and its formatting (the pattern parsed on each
    // call) cost the Start tens of microseconds before it leaves.
    int hours = 0, minutes = 0, seconds = 0;
    if (!System_calls::Local_clock(hours, minutes, seconds))
        return Time_Stamp(QTime::currentTime());
    const QChar text[8] = {QChar(u'0' + hours / 10),   QChar(u'0' + hours % 10),   QChar(u':'),
                           QChar(u'0' + minutes / 10), QChar(u'0' + minutes % 10), QChar(u':'),
                           QChar(u'0' + seconds / 10), QChar(u'0' + seconds % 10)};
    return QString(text, 8);
}

QString Date_Stamp(const QDate &date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }
QString Date_Stamp() { return Date_Stamp(QDate::currentDate()); }

QString Date_Time_Stamp(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
QString Date_Time_Stamp() { return Date_Time_Stamp(QDateTime::currentDateTime()); }

QString Display_Mill_Time(qint32 milliseconds, bool strip)
{
    const bool negative = milliseconds < 0;
    // 64 bits so that the absolute value of the smallest 32-bit number fits.
    qint64 ms = negative ? -qint64(milliseconds) : qint64(milliseconds);
    ms %= 86400000;

    // Round to hundredths first, halves to even, so 995..999 ms carry into the seconds.
    qint64 hundredths = ms / 10;
    const qint64 rest = ms % 10;
    if (rest > 5 || (rest == 5 && (hundredths % 2) == 1))
        ++hundredths;
    hundredths %= 8640000;

    const qint64 hours = hundredths / 360000;
    const qint64 minutes = (hundredths / 6000) % 60;
    const qint64 seconds = (hundredths / 100) % 60;
    const qint64 cs = hundredths % 100;

    QString text;
    if (hours > 0)
        text = QString::number(hours) + QLatin1Char(':');
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    text += two(minutes) + QLatin1Char(':') + two(seconds) + QLatin1Char(',') + two(cs);

    if (strip) {
        while (text.size() > 4 && (text.front() == QLatin1Char('0') || text.front() == QLatin1Char(':')))
            text.remove(0, 1);
        if (negative)
            text.prepend(QLatin1Char('-'));
    } else {
        text.prepend(negative ? QLatin1Char('-') : QLatin1Char(' '));
    }
    return text;
}

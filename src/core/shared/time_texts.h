#pragma once
// Time and date texts of the local clock, and the millisecond clock text of the reports.

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// "HH:MM:SS", 24-hour clock.
QString Time_Stamp();
QString Time_Stamp(const QTime &time);
// "YYYY-MM-DD".
QString Date_Stamp();
QString Date_Stamp(const QDate &date);
// "yyyy-mm-dd hh:nn:ss".
QString Date_Time_Stamp();
QString Date_Time_Stamp(const QDateTime &moment);

// Milliseconds as [h:]mm:ss,cc within one day. Strip: leading zeros and colons
// dropped down to four characters; otherwise a blank (or "-") in front.
QString Display_Mill_Time(qint32 milliseconds, bool strip);

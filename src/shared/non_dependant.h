#pragma once
// Procedures that depend on no window: time and date texts, the settings file,
// the program file's date, keys and the closing of all windows.

#include <QByteArray>
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

// Date and time the program file was last changed, in the locale's general format.
// A failure goes to the error-report window and the result is empty.
QString FileDate();

// True while a Ctrl key is held.
bool Ctrl_Key_Down();

// One synthesized Shift press and release, to whatever window has the focus.
void Press_Shift_Key();

// Unloads the program's windows, the last loaded first; stops when one refuses.
void Unload_All_Forms();

// Plays a complete WAV image held in memory; wait: return only when it has ended.
void PlaySOUND(const QByteArray &wave, bool wait);

// The value under section and key of the settings file at path, or default_value
// when it is missing or empty ("N/A" when default_value is empty too).
QString Read_Ini_Value(const QString &section, const QString &key, const QString &path,
                       const QString &default_value);

// Stores the value; returns 1 on success. A failure is shown to the user here.
qint16 Write_Ini_Value(const QString &section, const QString &key, const QString &value,
                       const QString &path);

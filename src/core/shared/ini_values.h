#pragma once
// The settings procedures: one value of the settings file, read or written.

#include "core/shared/message_box.h"

#include <QString>
#include <QtGlobal>

// The value under section and key of the settings file at path, or default_value
// when it is missing or empty ("N/A" when default_value is empty too).
QString Read_Ini_Value(const QString &section, const QString &key, const QString &path,
                       const QString &default_value);

// Stores the value; returns 1 on success. A failure is shown to the user here.
qint16 Write_Ini_Value(const QString &section, const QString &key, const QString &value,
                       const QString &path);

// The box that says a settings write failed (error_number and error_text: the system's).
Shown_message Write_failed_message(const QString &path, int error_number, const QString &error_text);

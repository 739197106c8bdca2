#include "core/shared/ini_values.h"

#include "core/shared/ini_file.h"
#include "core/shared/message_box.h"

QString Read_Ini_Value(const QString &section, const QString &key, const QString &path,
                       const QString &default_value)
{
    if (path.isEmpty()) {
        Show_Message(QStringLiteral("Ini_file_path is empty!"));
        return {};
    }
    // The value as far as a 512-character buffer holds it.
    const QString stored = Ini::Read_Value(path, section, key).left(511);
    if (!stored.isEmpty())
        return stored;
    return default_value.isEmpty() ? QStringLiteral("N/A") : default_value;
}

qint16 Write_Ini_Value(const QString &section, const QString &key, const QString &value,
                       const QString &path)
{
    const Ini::Write_result r = Ini::Write_Value(path, section, key, value);
    if (r.ok)
        return 1;
    Show_Message(Write_failed_message(path, r.error_number, r.error_text));
    return 0;
}

Shown_message Write_failed_message(const QString &path, int error_number, const QString &error_text)
{
    return {QStringLiteral("Writing to INI file failed! Path = ") + path + QStringLiteral("\r\n")
                + QStringLiteral(" Error = ") + QString::number(error_number) + QLatin1Char(' ') + error_text,
            Message_icon::Critical, QStringLiteral(" DKN Error")};
}

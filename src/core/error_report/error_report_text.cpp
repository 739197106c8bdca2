#include "core/error_report/error_report_text.h"

#include "core/shared/file_date.h"
#include "core/shared/globals.h"
#include "core/shared/time_texts.h"

#include <QDir>
#include <QUrl>


namespace Error_report {

QString Location_line(const QString &location, qint16 line)
{
    return QStringLiteral("Location of error: ") + location + QStringLiteral(" line: ") + QString::number(line)
           + Crlf;
}

QString Error_line(qint16 number, const QString &description)
{
    return QStringLiteral("error description: ") + QString::number(number) + QStringLiteral(", ") + description
           + Crlf;
}

QString Build_line(const QString &label)
{
    return Globals::Program_name + label + QString::number(Globals::Version_major()) + QLatin1Char('.')
           + QString::number(Globals::Version_minor()) + QLatin1Char('.')
           + QString::number(Globals::Version_revision()) + QStringLiteral(" rm")
           + QString::number(Globals::Release_number) + QLatin1Char(' ') + QStringLiteral("Compile date: ")
           + Globals::Compile_date;
}

QString Version_line() { return Build_line(QStringLiteral(" Program version ")) + Crlf; }

QString Extra_text(const QString &extra) { return QStringLiteral("Extra information: ") + extra; }

QString Program_text() { return QStringLiteral("program name: ") + Globals::Program_name; }

QString Uptime_text(qint32 uptime_ms) { return QStringLiteral(" Uptime: ") + Display_Mill_Time(uptime_ms, false); }

QString Computer_line() { return QStringLiteral(" Computer: ") + Globals::Computer_name; }

QString With_crlf(const QString &text)
{
    QString out = text;
    out.replace(Crlf, QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    out.replace(QLatin1Char('\n'), Crlf);
    return out;
}

QString Compose_log_record(const QDateTime &saved_at, const QString &report, const QString &comments)
{
    return QStringLiteral("Saved  at: ") + General_date_text(saved_at) + Crlf + Crlf
           + Build_line(QStringLiteral(" version ")) + Crlf
           + Computer_line() + Crlf + Crlf
           + With_crlf(report) + Crlf
           + With_crlf(comments) + Crlf
           + QString(44, QLatin1Char('*')) + Crlf;
}

QString Log_file_path()
{
    return Globals::User_appdata_path + QDir::separator() + Log_file_name;
}

QString Mail_subject() { return QStringLiteral(" ") + Globals::Program_name + QStringLiteral(" error"); }

QString Compose_mail_body(const QDateTime &generated_at, const QString &report, const QString &comments)
{
    const QString end = QStringLiteral("//") + Crlf;
    return QStringLiteral("Gen.at: ") + General_date_text(generated_at) + end
           + QStringLiteral(" ") + Build_line(QStringLiteral(" Program version ")) + end
           + Computer_line() + end
           + QStringLiteral("  ") + With_crlf(report) + QStringLiteral("//")
           + QStringLiteral("  ") + With_crlf(comments);
}

QByteArray Compose_mail_url(const QDateTime &generated_at, const QString &report, const QString &comments)
{
    return QByteArrayLiteral("mailto:") + Vendor_email.toUtf8() + QByteArrayLiteral("?Subject=")
           + Mail_subject().toUtf8().toPercentEncoding() + QByteArrayLiteral("&Body=")
           + Compose_mail_body(generated_at, report, comments).toUtf8().toPercentEncoding();
}

namespace {
// A text as printed lines: each line break ends one, and the print statement's
// own line end follows the last.
void Add_lines(QList<Print_line> &page, const QString &text, int points = 12, bool emphasised = false)
{
    QString normal = text;
    normal.replace(Crlf, QStringLiteral("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString &line : normal.split(QLatin1Char('\n')))
        page.append(Print_line{line, points, emphasised});
}
} // namespace

QList<Print_line> Compose_printed_page(const QDateTime &printed_at, const QString &report, const QString &comments)
{
    QList<Print_line> page;
    Add_lines(page, Globals::Program_name + QStringLiteral(" error report"), 24);
    Add_lines(page, QString(), 24);
    Add_lines(page, QString(), 24);
    Add_lines(page, QStringLiteral("Printed at: ") + General_date_text(printed_at));
    Add_lines(page, QString());
    Add_lines(page, Build_line(QStringLiteral(" version ")));
    Add_lines(page, Computer_line());
    Add_lines(page, QString());
    Add_lines(page, report);
    Add_lines(page, comments);
    Add_lines(page, QStringLiteral("What to do with this error report?"), 12, true);
    Add_lines(page, QStringLiteral("To help fix the error, please report it by using any of the methods listed below!"));
    Add_lines(page, QString());
    Add_lines(page, QStringLiteral("1 Send by normal mail to:"));
    Add_lines(page, Vendor_company);
    Add_lines(page, Vendor_street);
    Add_lines(page, Vendor_town);
    Add_lines(page, Vendor_country);
    Add_lines(page, QStringLiteral("2 E-mail to:"));
    Add_lines(page, Vendor_email);
    Add_lines(page, QString());
    Add_lines(page, QStringLiteral("3 Call"));
    Add_lines(page, Vendor_phones);
    return page;
}

} // namespace Error_report

#pragma once
// The texts of the error report and of its three deliveries, composed without a
// window so they can be checked directly.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace Error_report {

inline const QString Crlf = QStringLiteral("\r\n");

// The vendor's support contact, shown on paper and used for the mail.
inline const QString Vendor_company = QStringLiteral("Nordvik Sporttiming AB");
inline const QString Vendor_street = QStringLiteral("Lagerv\u00e4gen 14");
inline const QString Vendor_town = QStringLiteral("123 45 Exempelby");
inline const QString Vendor_country = QStringLiteral("Sweden");
inline const QString Vendor_email = QStringLiteral("support@velantra.example");
// Numbers from the range Sweden keeps for fiction, so they reach no one.
inline const QString Vendor_phones = QStringLiteral("+46 8 465 004 10, +46 8 465 004 11 (fax)");

// The report's pieces, in the order the handler appends them.
QString Location_line(const QString &location, qint16 line);
QString Error_line(qint16 number, const QString &description);
QString Version_line();
QString Extra_text(const QString &extra);
QString Program_text();
QString Uptime_text(qint32 uptime_ms);

// The build line; label is " version " (log, paper) or " Program version " (mail).
QString Build_line(const QString &label);
// " Computer: " and the computer name.
QString Computer_line();

// Line ends as the log file keeps them: every line break becomes CR LF.
QString With_crlf(const QString &text);

// One record of the error log, complete, ready to be appended in one write.
QString Compose_log_record(const QDateTime &saved_at, const QString &report, const QString &comments);
inline const QString Log_file_name = QStringLiteral("Velantra_errlog.txt");
QString Log_file_path();

// The mail's subject and body as the mail program must receive them.
QString Mail_subject();
QString Compose_mail_body(const QDateTime &generated_at, const QString &report, const QString &comments);
// The "mailto:" URL with subject and body percent-encoded (UTF-8), so that "&", "#",
// "?" and line breaks in the report reach the mail program intact.
QByteArray Compose_mail_url(const QDateTime &generated_at, const QString &report, const QString &comments);

// One printed line: its text, its size in points and whether it is emphasised.
struct Print_line
{
    QString text;
    int points = 12;
    bool emphasised = false;
    bool operator==(const Print_line &o) const
    {
        return text == o.text && points == o.points && emphasised == o.emphasised;
    }
};
// The printed page, line by line; texts with line breaks are split into lines.
QList<Print_line> Compose_printed_page(const QDateTime &printed_at, const QString &report,
                                       const QString &comments);

} // namespace Error_report

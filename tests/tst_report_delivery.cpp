// Delivering a report: the mail URL, the printed page (through a PDF and on a
// real CUPS printer) and the cases where there is nothing to print on.

#include "error_report/dkn_error_form.h"
#include "error_report/error_report_text.h"
#include "shared/globals.h"
#include "shared/platform.h"
#include "support/test_support.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <memory>

namespace {
DKN_error_form *Form() { return DKN_error_form::Loaded_instance(); }

template <typename W>
W *Control(const char *name)
{
    return Form() ? Form()->findChild<W *>(QLatin1String(name)) : nullptr;
}

void Click(const char *button) { QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton); }

void Report(const QString &description, const QString &comments)
{
    DKN_Error_Handler(description, 5, 11460, QStringLiteral("PlaySOUND"), QString());
    Control<QPlainTextEdit>("Text_error_comments")->setPlainText(comments);
}

// Text of a PDF; empty when pdftotext is not there.
QString Pdf_text(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    // Compatibility form: the PDF may carry ligatures such as "fi" as one character.
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

int Pdf_pages(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    p.waitForFinished(30000);
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Where cups-pdf puts a job: its "Out" folder (${HOME}/PDF on Debian; root's jobs
// land in /root/PDF) or the anonymous one under /var/spool/cups-pdf.
QStringList Cups_pdf_folders()
{
    return {QDir::homePath() + QStringLiteral("/PDF"), QStringLiteral("/root/PDF"), QStringLiteral("/var/spool/cups-pdf")};
}

// The highest CUPS job number so far (0 when none).
int Last_cups_job()
{
    QProcess p;
    p.start(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o")});
    p.waitForFinished(30000);
    int last = 0;
    const QRegularExpression id(QStringLiteral("^\\S+-(\\d+)\\s"), QRegularExpression::MultilineOption);
    for (auto it = id.globalMatch(QString::fromUtf8(p.readAllStandardOutput())); it.hasNext();)
        last = qMax(last, it.next().captured(1).toInt());
    return last;
}

// The error report's PDF of a job after the given one, or empty. cups-pdf names its
// files after the title and the job number; the PDF's text is not searchable (it
// re-encodes the fonts), so the job number identifies ours.
QString Find_report_job_after(int last_job, const QDateTime &since)
{
    const QRegularExpression name(QStringLiteral("^Velantra_Remote_Client_error_report(.*job_(\\d+))?.*\\.pdf$"));
    for (const QString &folder : Cups_pdf_folders()) {
        QDirIterator it(folder, {QStringLiteral("*.pdf")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QFileInfo info(path);
            const auto m = name.match(it.fileName());
            if (!m.hasMatch() || info.size() == 0)
                continue;
            // Without a job number in the name (another cups-pdf setting), go by the time.
            const bool ours = m.captured(2).isEmpty() ? info.lastModified() >= since : m.captured(2).toInt() > last_job;
            if (ours)
                return path;
        }
    }
    return {};
}

bool Have_program(const char *name) { return !QStandardPaths::findExecutable(QLatin1String(name)).isEmpty(); }
} // namespace

class Tst_report_delivery : public QObject
{
    Q_OBJECT
    std::unique_ptr<Isolated_user_dirs> dirs_;
    QTemporaryDir out_;

private slots:
    void initTestCase()
    {
        dirs_ = std::make_unique<Isolated_user_dirs>();
        Globals::Init_program();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }
    void cleanup()
    {
        delete Form();
        Error_report::Test_seams() = {};
        Platform::Test_Hooks().open_url = nullptr;
    }

    void mail_url_carries_the_body_intact_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("comments");
        QTest::newRow("plain") << "Bad argument" << "";
        QTest::newRow("delimiters") << "a & b # c ? d = e % f + g" << "first line & more\nsecond #2 ?x=1";
    }
    void mail_url_carries_the_body_intact()
    {
        QFETCH(QString, description);
        QFETCH(QString, comments);
        QList<QUrl> opened;
        Platform::Test_Hooks().open_url = [&opened](const QUrl &url) {
            opened.append(url);
            return false; // no mail program: still nothing to say
        };
        Message_recorder messages;
        Report(description, comments);
        const QString report = Form()->Report_text();

        Click("Cmd_mailto");

        QCOMPARE(opened.size(), 1);
        const QUrl url = opened.first();
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QCOMPARE(url.path(), Error_report::Vendor_email);
        const QByteArray raw = url.toEncoded();
        QCOMPARE(raw.count('&'), 1);
        QVERIFY(!raw.contains('#') && !raw.contains(' ') && !raw.contains('\r') && !raw.contains('\n'));

        const QUrlQuery query(url);
        QCOMPARE(query.queryItemValue(QStringLiteral("Subject"), QUrl::FullyDecoded),
                 QStringLiteral(" Velantra Remote Client error"));
        const QString body = query.queryItemValue(QStringLiteral("Body"), QUrl::FullyDecoded);
        QString crlf_comments = comments;
        crlf_comments.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        const QRegularExpression expected(
            QStringLiteral("\\AGen\\.at: [^\r\n]+//\r\n")
            + QRegularExpression::escape(
                  QStringLiteral(" Velantra Remote Client Program version 1.1.26 rm0 Compile date: 2017-06-20 20:48//\r\n"
                                 " Computer: //\r\n  ")
                  + report + QStringLiteral("//  ") + crlf_comments)
            + QStringLiteral("\\z"));
        QVERIFY2(expected.match(body).hasMatch(), qPrintable(body));
        QVERIFY(report.contains(description));
        QVERIFY(messages.Texts().isEmpty());
    }

    void no_printer_prints_nothing()
    {
        Message_recorder messages;
        bool printer_used = false;
        Error_report::Test_seams().printer_count = [] { return 0; };
        Error_report::Test_seams().setup_printer = [&printer_used](QPrinter &) { printer_used = true; };
        Report(QStringLiteral("x"), QString());

        Click("Cmd_print_error");

        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("No printer availible")});
        QVERIFY(!printer_used);
        QProgressBar *bar = Control<QProgressBar>("ProgressBar1");
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->value(), 0);
    }

    void printing_failure_says_so()
    {
        Message_recorder messages;
        Error_report::Test_seams().printer_count = [] { return 1; };
        Error_report::Test_seams().setup_printer = [](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QStringLiteral("/no/such/folder/report.pdf"));
        };
        Report(QStringLiteral("x"), QString());
        Click("Cmd_print_error");
        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("Printer error")});
    }

    void printed_page_has_its_lines_in_order()
    {
        if (!Have_program("pdftotext") || !Have_program("pdffonts")) {
            if (Services_required())
                QFAIL("pdftotext and pdffonts (poppler-utils) are needed");
            QSKIP("pdftotext and pdffonts (poppler-utils) are not installed");
        }
        const QString pdf = out_.filePath(QStringLiteral("report.pdf"));
        Error_report::Test_seams().printer_count = [] { return 1; };
        Error_report::Test_seams().setup_printer = [pdf](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
        Message_recorder messages;
        Report(QStringLiteral("Bad argument"), QStringLiteral("Pressed Start twice\nthen it froze"));

        Click("Cmd_print_error");

        QVERIFY(messages.Texts().isEmpty());
        QProgressBar *bar = Control<QProgressBar>("ProgressBar1");
        QVERIFY(!bar->isVisible());
        QCOMPARE(bar->value(), 100);
        QCOMPARE(Pdf_pages(pdf), 1);

        QStringList expected{
            QStringLiteral("Velantra Remote Client error report"),
            QStringLiteral("Printed at: "),
            QStringLiteral("Velantra Remote Client version 1.1.26 rm0 Compile date: 2017-06-20 20:48"),
            QStringLiteral("Computer:"),
            QStringLiteral("Location of error: PlaySOUND line: 11460"),
            QStringLiteral("error description: 5, Bad argument"),
            QStringLiteral("Velantra Remote Client Program version 1.1.26 rm0 Compile date: 2017-06-20 20:48"),
            QStringLiteral("Extra information: program name: Velantra Remote Client Uptime:"),
            QStringLiteral("Pressed Start twice"),
            QStringLiteral("then it froze"),
            QStringLiteral("What to do with this error report?"),
            QStringLiteral("To help fix the error, please report it by using any of the methods listed below!"),
            QStringLiteral("1 Send by normal mail to:"),
            Error_report::Vendor_company,
            Error_report::Vendor_street,
            Error_report::Vendor_town,
            Error_report::Vendor_country,
            QStringLiteral("2 E-mail to:"),
            Error_report::Vendor_email,
            QStringLiteral("3 Call"),
            Error_report::Vendor_phones,
        };
        QStringList lines;
        for (const QString &line : Pdf_text(pdf).split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                lines.append(line.trimmed());
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(lines.at(i).startsWith(expected.at(i).trimmed()), qPrintable(lines.at(i)));

        // The question line is the emphasised one.
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {pdf});
        QVERIFY(fonts.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(fonts.readAllStandardOutput()).contains(QStringLiteral("Bold")));
    }

    void prints_on_the_real_default_printer()
    {
        const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
        if (printer.isNull() || !Have_program("lpstat") || !Have_program("pdfinfo")) {
            if (Services_required())
                QFAIL("no default printer (CUPS with cups-pdf, see tests/services/cups.sh) or no poppler-utils");
            QSKIP("no default printer: start CUPS with cups-pdf (tests/services/cups.sh, as root)");
        }
        Message_recorder messages;
        const int last_job = Last_cups_job();
        const QDateTime since = QDateTime::currentDateTime().addSecs(-1);
        Report(QStringLiteral("Real print"), QStringLiteral("On paper"));

        Click("Cmd_print_error");

        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join(QLatin1Char('|'))));
        QString job;
        QTRY_VERIFY2_WITH_TIMEOUT(!(job = Find_report_job_after(last_job, since)).isEmpty(),
                                  qPrintable(QStringLiteral("no PDF job in ") + Cups_pdf_folders().join(QLatin1Char(' '))),
                                  30000);
        QCOMPARE(Pdf_pages(job), 1);
        QFile::remove(job);
    }
};

QTEST_MAIN(Tst_report_delivery)
#include "tst_report_delivery.moc"

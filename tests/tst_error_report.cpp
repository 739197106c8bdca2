// The error-report window: the report it composes, its life cycle, the failure
// inside the handler, its three deliveries (log, paper, mail), the program
// file's date, and failures escaping event handlers that end up there.

#include "error_report/dkn_error_form.h"
#include "error_report/error_report_text.h"
#include "error_report/safe_application.h"
#include "shared/file_date.h"
#include "shared/forms.h"
#include "shared/globals.h"
#include "shared/non_dependant.h"
#include "shared/platform.h"
#include "support/test_support.h"

#include <QDirIterator>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include <new>
#include <stdexcept>

namespace {
const QString Build = QStringLiteral("1.1.26 rm0 Compile date: 2017-06-20 20:48");
const QString Report_start = QStringLiteral("Location of error: PlaySOUND line: 11460\r\nerror description: 5, ");

DKN_error_form *Form() { return DKN_error_form::Loaded_instance(); }
QString Report_text() { return Form() ? Form()->Report_text() : QString(); }

template <typename W> W *Control(const char *name) { return Form()->findChild<W *>(QLatin1String(name)); }

void Click(const char *button) { QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton); }

void Report(const QString &description, const QString &comments = {}, const QString &extra = {})
{
    DKN_Error_Handler(description, 5, 11460, QStringLiteral("PlaySOUND"), extra);
    Control<QPlainTextEdit>("Text_error_comments")->setPlainText(comments);
}

// Prints the report with the given printer count, into the given PDF file.
void Print(int printers, const QString &pdf)
{
    Error_report::Test_seams().printer_count = [printers] { return printers; };
    Error_report::Test_seams().setup_printer = [pdf](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    };
    Click("Cmd_print_error");
}

QString Run(const char *program, const QStringList &arguments)
{
    QProcess p;
    p.start(QLatin1String(program), arguments);
    p.waitForFinished(30000);
    // Compatibility form: the PDF may carry ligatures such as "fi" as one character.
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

bool One_page(const QString &pdf) { return Run("pdfinfo", {pdf}).contains(QRegularExpression("\nPages: +1\n")); }

// A report job cups-pdf wrote since the given moment: in its "Out" folder
// (${HOME}/PDF; root's jobs go to /root/PDF) or the anonymous one.
QString Cups_pdf_since(const QDateTime &since)
{
    for (const QString &folder : {QDir::homePath() + "/PDF", QStringLiteral("/root/PDF"), QStringLiteral("/var/spool/cups-pdf")})
        for (QDirIterator it(folder, {"Velantra_Remote_Client_error_report*.pdf"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            if (it.next(), it.fileInfo().lastModified() >= since)
                return it.filePath();
    return {};
}

// A skip outside CI only: there poppler-utils (pdftotext, pdfinfo, pdffonts) and a
// default printer must be there.
#define NEED(printer)                                                                                                  \
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() || (printer && QPrinterInfo::defaultPrinter().isNull())) { \
        QVERIFY2(!Services_required(), "needs poppler-utils and CUPS with cups-pdf as default (tests/services/cups.sh)"); \
        QSKIP("no poppler-utils or no default printer (tests/services/cups.sh, as root)");                             \
    }
} // namespace

// Qt's widget frames are built without unwinding cleanups, so an exception that
// passes through them leaves their locals behind: the known price of going on.
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
using Unwinding_leaks_ignored = __lsan::ScopedDisabler;
#else
struct Unwinding_leaks_ignored {};
#endif

class Tst_error_report : public QObject
{
    Q_OBJECT
    Isolated_user_dirs dirs_;
    QTemporaryDir out_;

private slots:
    void initTestCase()
    {
        Globals::Init_program();
        QDir().mkpath(Globals::User_appdata_path);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    void cleanup()
    {
        delete Form();
        Error_report::Test_seams() = {};
        Platform::Test_Hooks().open_url = nullptr;
    }

    void report_has_four_exact_lines_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<qint32>("uptime");
        QTest::addColumn<QString>("last_line");
        QTest::newRow("empty extra") << QString() << qint32(3723450) << "program name: Velantra Remote Client Uptime:  1:02:03,45";
        QTest::newRow("with extra") << "heat 12" << qint32(5300) << "heat 12program name: Velantra Remote Client Uptime:  00:05,30";
        // The counter passes 2^31 ms after about 24.8 days and reads negative.
        QTest::newRow("negative uptime") << QString() << qint32(-61000) << "program name: Velantra Remote Client Uptime: -01:01,00";
    }
    void report_has_four_exact_lines()
    {
        QFETCH(QString, extra);
        QFETCH(qint32, uptime);
        QFETCH(QString, last_line);
        Error_report::Test_seams().uptime_ms = [uptime] { return uptime; };
        Report(QStringLiteral("Bad argument"), {}, extra);
        QCOMPARE(Report_text(), Report_start + "Bad argument\r\nVelantra Remote Client Program version " + Build
                                    + "\r\nExtra information: " + last_line + "\r\n");
    }

    void second_report_replaces_first_and_keeps_comments()
    {
        Report(QStringLiteral("first"));
        QVERIFY(Form()->isVisible() && !Form()->isModal() && Form()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        // Nothing fills in the PC values, so only their fixed words show.
        QCOMPARE((QStringList{Form()->windowTitle(), Control<QLabel>("Label1")->text(), Control<QLabel>("Label_PC_info")->text(),
                              Control<QLabel>("Label_Windows_Version")->text()}),
                 (QStringList{"Velantra Remote Client error", "Velantra Remote Client error report", "  Ram: ", "\r\nCPU =  OS = "}));
        QTest::keyClicks(Control<QPlainTextEdit>("Text_error_comments"), QStringLiteral("At the start"));
        Click("Cmd_continue");
        QVERIFY(!Form()->isVisible() && Forms::Is_Loaded(Form()));

        DKN_Error_Handler(QStringLiteral("second"), 2, 20, QStringLiteral("Two"), QString());
        QVERIFY(Form()->isVisible() && Report_text().startsWith(QStringLiteral("Location of error: Two line: 20\r\nerror description: 2, second\r\nV")));
        QCOMPARE(Form()->Comments_text(), QStringLiteral("At the start"));

        // The close box unloads it: the next report starts with an empty comments box.
        QPointer<DKN_error_form> old = Form();
        QVERIFY(old->close());
        QTRY_VERIFY(old.isNull());
        Report(QStringLiteral("third"));
        QVERIFY(Report_text().contains(QStringLiteral("5, third")) && Form()->Comments_text().isEmpty());

        int exits = 0;
        Error_report::Test_seams().exit_program = [&exits] { ++exits; };
        Click("Cmd_exit");
        QCOMPARE(exits, 1);
    }

    void events_during_the_yield_do_not_upset_the_report()
    {
        // A report raised by an event that runs during the yield is replaced by the outer one.
        QTimer::singleShot(0, this, [] { DKN_Error_Handler(QStringLiteral("inner"), 2, 0, QStringLiteral("In"), QString()); });
        Report(QStringLiteral("outer"));
        QVERIFY(Report_text().startsWith(Report_start + "outer"));
        // A close box clicked during the yield: the report still finds a window.
        QTimer::singleShot(0, Form(), [] { Form()->close(); });
        Report(QStringLiteral("again"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(Form() && Form()->isVisible() && Report_text().startsWith(Report_start + "again"));
    }

    void failure_inside_the_handler_is_shown_and_contained()
    {
        Message_recorder messages;
        Error_report::Test_seams().uptime_ms = []() -> qint32 { throw std::overflow_error("Overflow"); };
        Report(QStringLiteral("Bad argument"));
        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("*Error in Error_formOverflow6 3380")});
        // What was written before the failing step stays.
        QCOMPARE(Report_text(), Report_start + "Bad argument\r\nVelantra Remote Client Program version " + Build
                                    + "\r\nExtra information: program name: Velantra Remote Client");
    }

    void log_records_are_appended_whole_or_log_error()
    {
        Message_recorder messages;
        Report(QStringLiteral("Disk & co"), QStringLiteral("caf\u00e9\nmore"));
        const QString path = Globals::User_appdata_path + QStringLiteral("/Velantra_errlog.txt");
        Click("Cmd_save_log");
        Click("Cmd_save_log");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString record = QStringLiteral("Saved  at: \\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n")
                               + QRegularExpression::escape("\r\nVelantra Remote Client version " + Build + "\r\n Computer: \r\n\r\n"
                                                            + Report_text() + "\r\ncaf\u00e9\r\nmore\r\n" + QString(44, '*') + "\r\n");
        // Latin-1 reading: the é must be the single Windows-1252 byte.
        QVERIFY2(QRegularExpression("\\A" + record + record + "\\z").match(QString::fromLatin1(file.readAll())).hasMatch(),
                 qPrintable(path));

        // Root may write anywhere, so use places that cannot be files at all.
        const QString saved_path = Globals::User_appdata_path;
        QVERIFY(QFile(out_.filePath(QStringLiteral("not_a_folder"))).open(QIODevice::WriteOnly));
        Globals::User_appdata_path = out_.filePath(QStringLiteral("not_a_folder/sub"));
        Click("Cmd_save_log");
        QDir(out_.path()).mkpath(QStringLiteral("Velantra_errlog.txt"));
        Globals::User_appdata_path = out_.path();
        Click("Cmd_save_log");
        Globals::User_appdata_path = saved_path;
        const QString confirmation = QStringLiteral("Error info appended to file: ") + path;
        QCOMPARE(messages.Texts(), (QStringList{confirmation, confirmation, QStringLiteral("Log errorPath not found 76"),
                                                QStringLiteral("Log errorPath/File access error 75")}));
    }

    void file_date_is_the_executable_date_or_a_report()
    {
        const QDateTime modified = QFileInfo(QCoreApplication::applicationFilePath()).lastModified();
        QCOMPARE(FileDate(), modified.toString(QStringLiteral("dd.MM.yy HH:mm:ss")));
        QVERIFY(!Form());
        QCOMPARE(File_date_of(QStringLiteral("/no/such/program"), QStringLiteral("FileDate of Module Non_dependant")), QString());
        QVERIFY(Report_text().startsWith(QStringLiteral(
            "Location of error: FileDate of Module Non_dependant line: 20\r\nerror description: 53, File not found\r\n")));
    }

    void mail_url_carries_the_body_intact()
    {
        QList<QUrl> opened;
        Platform::Test_Hooks().open_url = [&opened](const QUrl &url) {
            opened.append(url);
            return false; // no mail program: still nothing to say
        };
        Message_recorder messages;
        // Unencoded, any of these would cut the body short or corrupt it.
        Report(QStringLiteral("a & b # c ? d = e % f + g"), QStringLiteral("first line & more\nsecond #2 ?x=1"));
        Click("Cmd_mailto");

        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].toString(QUrl::RemoveQuery), "mailto:" + Error_report::Vendor_email);
        const QUrlQuery query(opened[0]);
        QCOMPARE(query.queryItemValue(QStringLiteral("Subject"), QUrl::FullyDecoded), QStringLiteral(" Velantra Remote Client error"));
        const QString body = query.queryItemValue(QStringLiteral("Body"), QUrl::FullyDecoded);
        const QString tail = " Velantra Remote Client Program version " + Build + "//\r\n Computer: //\r\n  " + Report_text()
                             + "//  first line & more\r\nsecond #2 ?x=1";
        QVERIFY2(QRegularExpression("\\AGen\\.at: [^\r\n]+//\r\n" + QRegularExpression::escape(tail) + "\\z").match(body).hasMatch(),
                 qPrintable(body));
        QVERIFY(messages.Texts().isEmpty());
    }

    void printing_says_what_fails_and_prints_the_page_in_order()
    {
        Message_recorder messages;
        Report(QStringLiteral("Bad argument"), QStringLiteral("Pressed Start twice\nthen it froze"));
        const QString pdf = out_.filePath(QStringLiteral("report.pdf"));
        Print(0, pdf);
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(Control<QProgressBar>("ProgressBar1")->isVisible() && Control<QProgressBar>("ProgressBar1")->value() == 0);
        Print(1, QStringLiteral("/no/such/folder/report.pdf"));
        QCOMPARE(messages.Texts(), (QStringList{QStringLiteral("No printer availible"), QStringLiteral("Printer error")}));

        NEED(false)
        messages.Clear();
        Print(1, pdf);
        QVERIFY(messages.Texts().isEmpty());
        QVERIFY(!Control<QProgressBar>("ProgressBar1")->isVisible() && Control<QProgressBar>("ProgressBar1")->value() == 100);
        QVERIFY(One_page(pdf));
        const QStringList expected{
            "Velantra Remote Client error report", "Printed at: ", "Velantra Remote Client version " + Build, "Computer:",
            "Location of error: PlaySOUND line: 11460", "error description: 5, Bad argument", "Velantra Remote Client Program version " + Build,
            "Extra information: program name: Velantra Remote Client Uptime:", "Pressed Start twice", "then it froze",
            "What to do with this error report?", "To help fix the error, please report it by using any of the methods listed below!",
            "1 Send by normal mail to:", Error_report::Vendor_company, Error_report::Vendor_street, Error_report::Vendor_town,
            Error_report::Vendor_country, "2 E-mail to:", Error_report::Vendor_email, "3 Call", Error_report::Vendor_phones};
        const QStringList lines = Run("pdftotext", {pdf, "-"}).trimmed().split(QRegularExpression("\\s*\n\\s*"));
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(lines[i].startsWith(expected[i]), qPrintable(lines[i]));
        // The question line is the emphasised one.
        QVERIFY(Run("pdffonts", {pdf}).contains(QStringLiteral("Bold")));
    }

    void prints_on_the_real_default_printer()
    {
        NEED(true)
        Message_recorder messages;
        const QDateTime since = QDateTime::currentDateTime().addSecs(-1);
        Report(QStringLiteral("Real print"), QStringLiteral("On paper"));
        Click("Cmd_print_error");
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join('|')));
        // Waits until cups-pdf has written the whole job.
        QTRY_VERIFY_WITH_TIMEOUT(One_page(Cups_pdf_since(since)), 30000);
        QFile::remove(Cups_pdf_since(since));
    }

    void exceptions_from_handlers_reach_the_window()
    {
        // Also the button: the unwinding skips the clean-up of its accessibility data.
        [[maybe_unused]] Unwinding_leaks_ignored ignored;
        int clicks = 0;
        QPushButton button(QStringLiteral("Start"));
        button.setObjectName(QStringLiteral("Command_start"));
        connect(&button, &QPushButton::clicked, this, [&clicks] {
            if (++clicks == 1)
                throw std::runtime_error("socket gone");
            throw 42;
        });
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(Form() && Form()->isVisible());
        QCOMPARE(Report_text().section('\n', 0, 1), "Location of error: Command_start line: 0\r\nerror description: 51, socket gone\r");
        // The button and the loop still work.
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(Report_text().section('\n', 1, 1), "error description: 51, Unknown failure\r");

        // Unnamed, the report names the receiver's class.
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, this, [] { throw std::bad_alloc(); });
        timer.start(0);
        QTRY_VERIFY(Report_text().startsWith("Location of error: QTimer line: 0\r\nerror description: 7, "));
    }
};

int main(int argc, char **argv)
{
    Safe_application app(argc, argv);
    Tst_error_report test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_error_report.moc"

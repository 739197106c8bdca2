// The error-report window: its report, life cycle and three deliveries (log,
// paper, mail), the program file's date, and failures escaping event handlers.

#include "error_report/dkn_error_form.h"
#include "error_report/error_report_text.h"
#include "error_report/safe_application.h"
#include "main_window/run_client.h"
#include "shared/desktop/printers.h"
#include "shared/file_date.h"
#include "shared/globals.h"
#include "shared/platform.h"
#include "support/test_support.h"

#include <QTest>
#include <QtPrintSupport>
#include <new>
#include <optional>
#include <stdexcept>

namespace {
const QString Build = QStringLiteral("1.1.26 rm0 Compile date: 2017-06-20 20:48");
const QString Report_start = QStringLiteral("Location of error: PlaySOUND line: 11460\r\nerror description: 5, ");
const QString Version_line = "\r\nVelantra Remote Client Program version " + Build + "\r\nExtra information: ";

DKN_error_form *Form() { return DKN_error_form::Loaded_instance(); }
QString Report_text() { return Form() ? Form()->Report_text() : QString(); }
template <typename W> W *Control(const char *name) { return Form()->findChild<W *>(QLatin1String(name)); }
void Click(const char *button) { QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton); }

void Report(const QString &description, const QString &comments = {}, const QString &extra = {})
{
    DKN_Error_Handler(description, 5, 11460, QStringLiteral("PlaySOUND"), extra);
    Control<QPlainTextEdit>("Text_error_comments")->setPlainText(comments);
}

// Printers that print into a PDF file.
struct Pdf_printers final : Printers
{
    Pdf_printers(int count, const QString &pdf) : count(count), pdf(pdf) {}
    int Count() override { return count; }
    std::unique_ptr<QPrinter> Open(bool) override
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFileName(pdf); // ".pdf": a PDF file
        return printer;
    }
    int count;
    QString pdf;
};

// Prints the report with the given printer count, into the given PDF file.
void Print(int printers, const QString &pdf)
{
    Pdf_printers stand_in(printers, pdf);
    Scoped_facility<Printers> use(stand_in);
    Click("Cmd_print_error");
}

// An uptime clock that reads what it is told; it fails without a reading.
struct Fixed_uptime final : Uptime_clock
{
    explicit Fixed_uptime(std::optional<qint32> reading) : reading(reading) {}
    qint32 Uptime_ms() override { return reading ? *reading : throw std::overflow_error("Overflow"); }
    std::optional<qint32> reading;
};

struct Exit_counter final : Process_exit
{
    void Exit_now(int) override { ++exits; }
    int exits = 0;
};

// The URLs handed to the desktop, which has no mail program.
struct Url_recorder final : Url_handler
{
    bool Open(const QUrl &url) override { return opened.append(url), false; }
    QList<QUrl> opened;
};

QString Run(const char *program, const QStringList &arguments)
{
    QProcess p;
    p.start(QLatin1String(program), arguments);
    p.waitForFinished(30000);
    // Compatibility form: the PDF may carry ligatures such as "fi" as one character.
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

bool One_page(const QString &pdf) { return Run("pdfinfo", {pdf}).contains(QRegularExpression("\nPages: +1\n")); }

// The page's text lines, without the moment it was printed.
QStringList Page_lines(const QString &pdf)
{
    return Run("pdftotext", {pdf, "-"}).trimmed().split(QRegularExpression("\\s*\n\\s*")).replaceInStrings(
        QRegularExpression("^Printed at: .*"), QStringLiteral("Printed at: "));
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
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    void cleanup()
    {
        Globals::Init_program();
        delete Form();
    }

    void report_has_four_exact_lines_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<qint32>("uptime");
        QTest::addColumn<QString>("uptime_text");
        QTest::newRow("empty extra") << QString() << qint32(3723450) << " 1:02:03,45";
        QTest::newRow("with extra") << "heat 12" << qint32(5300) << " 00:05,30";
        // The counter passes 2^31 ms after about 24.8 days and reads negative.
        QTest::newRow("negative uptime") << QString() << qint32(-61000) << "-01:01,00";
    }
    void report_has_four_exact_lines()
    {
        QFETCH(QString, extra);
        QFETCH(qint32, uptime);
        QFETCH(QString, uptime_text);
        Fixed_uptime clock(uptime);
        Scoped_facility<Uptime_clock> use(clock);
        Report(QStringLiteral("Bad argument"), {}, extra);
        QCOMPARE(Report_text(), Report_start + "Bad argument" + Version_line + extra
                                    + "program name: Velantra Remote Client Uptime: " + uptime_text + "\r\n");
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
        QVERIFY(Form() && !Form()->isVisible()); // hidden, still loaded
        DKN_Error_Handler(QStringLiteral("second"), 2, 20, QStringLiteral("Two"), QString());
        QVERIFY(Form()->isVisible() && Report_text().startsWith("Location of error: Two line: 20\r\nerror description: 2, second\r\nV"));
        QCOMPARE(Form()->Comments_text(), QStringLiteral("At the start"));

        // The close box unloads it, even when clicked during the handler's yield: the
        // report then finds a new window with an empty comments box.
        QTimer::singleShot(0, Form(), [] { Form()->close(); });
        DKN_Error_Handler(QStringLiteral("third"), 5, 11460, QStringLiteral("PlaySOUND"), QString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(Form()->isVisible() && Report_text().startsWith(Report_start + "third") && Form()->Comments_text().isEmpty());
        Exit_counter exit;
        Scoped_facility<Process_exit> use(exit);
        Click("Cmd_exit");
        QCOMPARE(exit.exits, 1);
    }

    void a_failure_inside_the_handler()
    {
        // The failure route ends here: a trapped failure opens the window.
        QCOMPARE(File_date_of(QStringLiteral("/no/such/program"), QStringLiteral("FileDate of Module Non_dependant")), QString());
        QVERIFY(Report_text().startsWith("Location of error: FileDate of Module Non_dependant line: 20\r\nerror description: 53, File not found\r\n"));

        // A failure while composing the report.
        Message_recorder messages;
        Fixed_uptime failing(std::nullopt);
        Scoped_facility<Uptime_clock> use(failing);
        Report(QStringLiteral("Bad argument"));
        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("*Error in Error_formOverflow6 3380")});
        // What was written before the failing step stays.
        QCOMPARE(Report_text(), Report_start + "Bad argument" + Version_line + "program name: Velantra Remote Client");
    }


    void one_report_delivered_to_log_mail_and_paper()
    {
        Message_recorder messages;
        // Unencoded in the mail URL, any of "&#?=%+" would cut the body short or corrupt it.
        Report(QStringLiteral("a & b # c ? d = e % f + g"), QStringLiteral("caf\u00e9 & more\nsecond #2 ?x=1"));
        const QString path = Globals::User_appdata_path + QStringLiteral("/Velantra_errlog.txt"), saved_path = Globals::User_appdata_path;
        Click("Cmd_save_log");
        Click("Cmd_save_log");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString record = QStringLiteral("Saved  at: \\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n")
                               + QRegularExpression::escape("\r\nVelantra Remote Client version " + Build + "\r\n Computer: \r\n\r\n"
                                                            + Report_text() + "\r\ncaf\u00e9 & more\r\nsecond #2 ?x=1\r\n" + QString(44, '*') + "\r\n");
        // Latin-1 reading: the é must be the single Windows-1252 byte.
        QVERIFY(QRegularExpression("\\A" + record + record + "\\z").match(QString::fromLatin1(file.readAll())).hasMatch());
        // Root may write anywhere, so use a log file that is a folder.
        QDir(out_.path()).mkpath(QStringLiteral("Velantra_errlog.txt"));
        Globals::User_appdata_path = out_.path();
        Click("Cmd_save_log");
        Globals::User_appdata_path = saved_path;
        QCOMPARE(messages.Texts(), QStringList(2, "Error info appended to file: " + path) << QStringLiteral("Log errorPath/File access error 75"));

        messages.Clear();
        Url_recorder urls;
        Scoped_facility<Url_handler> use_urls(urls);
        const QList<QUrl> &opened = urls.opened;
        Click("Cmd_mailto");
        QVERIFY(opened.size() == 1 && messages.Texts().isEmpty());
        QCOMPARE(opened[0].toString(QUrl::RemoveQuery), "mailto:" + Error_report::Vendor_email);
        const QUrlQuery query(opened[0]);
        QCOMPARE(query.queryItemValue(QStringLiteral("Subject"), QUrl::FullyDecoded), QStringLiteral(" Velantra Remote Client error"));
        const QString body = query.queryItemValue(QStringLiteral("Body"), QUrl::FullyDecoded);
        QVERIFY2(body.startsWith("Gen.at: "), qPrintable(body));
        QCOMPARE(body.section("//\r\n", 1), " Velantra Remote Client Program version " + Build + "//\r\n Computer: //\r\n  " + Report_text()
                                                 + "//  caf\u00e9 & more\r\nsecond #2 ?x=1");

        const QString pdf = out_.filePath(QStringLiteral("report.pdf"));
        auto *bar = Control<QProgressBar>("ProgressBar1");
        Print(0, pdf);
        QVERIFY(!QFile::exists(pdf) && bar->isVisible() && bar->value() == 0);
        Print(1, QStringLiteral("/no/such/folder/report.pdf"));
        QCOMPARE(messages.Texts(), (QStringList{QStringLiteral("No printer availible"), QStringLiteral("Printer error")}));

        // A skip outside CI only: there poppler-utils and the run's own printer must be there.
        const QString printed = qEnvironmentVariable("VELANTRA_TEST_PRINT_FILE");
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() || printed.isEmpty() || QPrinterInfo::defaultPrinter().isNull()) {
            QVERIFY2(!Services_required(), "needs poppler-utils and the test run's CUPS scheduler (tests/services/cups.sh)");
            QSKIP("no poppler-utils or no printer of the test run's own (tests/services/cups.sh)");
        }
        messages.Clear();
        Print(1, pdf);
        QVERIFY(messages.Texts().isEmpty() && !bar->isVisible() && bar->value() == 100 && One_page(pdf));
        const QStringList expected{
            "Velantra Remote Client error report", "Printed at: ", "Velantra Remote Client version " + Build, "Computer:",
            "Location of error: PlaySOUND line: 11460", "error description: 5, a & b # c ? d = e % f + g", "Velantra Remote Client Program version " + Build,
            "Extra information: program name: Velantra Remote Client Uptime:", "caf\u00e9 & more", "second #2 ?x=1",
            "What to do with this error report?", "To help fix the error, please report it by using any of the methods listed below!",
            "1 Send by normal mail to:", Error_report::Vendor_company, Error_report::Vendor_street, Error_report::Vendor_town,
            Error_report::Vendor_country, "2 E-mail to:", Error_report::Vendor_email, "3 Call", Error_report::Vendor_phones};
        const QStringList lines = Page_lines(pdf);
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(lines[i].startsWith(expected[i]), qPrintable(lines[i]));
        // The question line is the emphasised one.
        QVERIFY(Run("pdffonts", {pdf}).contains(QStringLiteral("Bold")));

        // The same page, for real on the default printer: the run's own queue writes it to its file.
        QFile::remove(printed); // a job of an earlier test in this run
        Click("Cmd_print_error");
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join('|')));
        QTRY_VERIFY_WITH_TIMEOUT(One_page(printed), 30000); // once the whole job is in
        QCOMPARE(Page_lines(printed), lines);
        QFile::remove(printed);
    }

    void failed_log_save_names_its_cause_and_leaves_no_partial_record_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such folder") << "missing" << "Log errorPath not found 76";
        QTest::newRow("the folder lookup's text, no folder") << "relative" << "Log errorPath not found 76";
        QTest::newRow("folder takes no new file") << "refusing" << "Log errorPermission denied 70";
        QTest::newRow("file-size limit") << "limit" << "Log errorDevice I/O error 57";
        QTest::newRow("full disk") << "full" << "Log errorDisk full 61";
    }

    void failed_log_save_names_its_cause_and_leaves_no_partial_record()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        const QByteArray earlier = "Saved  at: an earlier record\r\n";
        QTemporaryDir dir;
        QString folder = dir.path();
        std::optional<Small_tmpfs> disk;
        if (fault == QLatin1String("full")) {
            disk.emplace("size=64k");
            if (!disk->Mounted())
                QSKIP("no tmpfs may be mounted here (root only)");
            folder = disk->Path();
        }
        std::optional<Working_folder> here;
        if (fault == QLatin1String("relative")) {
            here.emplace(folder);
            folder = QStringLiteral("The folder does not exist");
            QDir().mkpath(folder);
        } else if (fault == QLatin1String("missing")) {
            folder += QStringLiteral("/missing");
        }
        const QString log = folder + QStringLiteral("/Velantra_errlog.txt");
        if (fault == QLatin1String("limit") || disk) {
            QFile file(log);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
        }
        if (disk)
            disk->Fill();
        std::optional<Folder_refusing_new_files> refusing;
        if (fault == QLatin1String("refusing")) {
            refusing.emplace(folder);
            if (!refusing->Made())
                QSKIP(Folder_refusing_new_files::Why_not);
        }
        Message_recorder messages;
        Report(QString(6000, QLatin1Char('r'))); // a record longer than the room left
        Globals::User_appdata_path = folder;
        {
            std::optional<File_size_limit> limit;
            if (fault == QLatin1String("limit"))
                limit.emplace(earlier.size() + 16);
            Click("Cmd_save_log");
        }
        QCOMPARE(messages.Texts(), QStringList{message});
        QFile file(log);
        if (fault == QLatin1String("limit") || disk)
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == earlier);
        else
            QVERIFY(!file.exists());
    }

    void exceptions_from_handlers_reach_the_window()
    {
        // Also the button: the unwinding skips the clean-up of its accessibility data.
        [[maybe_unused]] Unwinding_leaks_ignored ignored;
        int clicks = 0;
        QPushButton button(QStringLiteral("Start"));
        button.setObjectName(QStringLiteral("Command_start"));
        connect(&button, &QPushButton::clicked, this, [&clicks] { ++clicks == 1 ? throw std::runtime_error("socket gone") : throw 42; });
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(Form() && Form()->isVisible() && Report_text().startsWith("Location of error: Command_start line: 0\r\nerror description: 51, socket gone\r"));
        // The button and the loop still work.
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(Report_text().section('\n', 1, 1), "error description: 51, Unknown failure\r");
        // Unnamed, the report names the receiver's class.
        QTimer::singleShot(0, this, [] { throw std::bad_alloc(); });
        QTRY_VERIFY(Report_text().startsWith("Location of error: Tst_error_report line: 0\r\nerror description: 7, "));
    }
};

int main(int argc, char **argv)
{
    Safe_application app(argc, argv);
    const Program_facilities facilities;
    Tst_error_report test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_error_report.moc"

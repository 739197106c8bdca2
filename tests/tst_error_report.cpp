// The error-report window: its report, life cycle and three deliveries (log,
// paper, mail), the program file's date, and failures escaping event handlers.

#include "desktop/error_report/dkn_error_form.h"
#include "core/error_report/error_report_text.h"
#include "desktop/error_report/safe_application.h"
#include "desktop/main_window/run_client.h"
#include "desktop/shared/print_job.h"
#include "desktop/shared/printers.h"
#include "core/shared/globals.h"
#include "core/shared/platform.h"
#include "support/test_support.h"

#include <QTest>
#include <QLabel>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>
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

// No printer, or one that cannot print: its file cannot be made.
struct Failing_printers final : Printers
{
    int Count() override { return count; }
    bool Print(bool, const QString &, const std::function<bool(QPagedPaintDevice &)> &draw) override
    {
        QPdfWriter printer(QStringLiteral("/no/such/folder/report.pdf"));
        return draw(printer);
    }
    int count = 0;
};

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

QString Run(const char *program, const QStringList &arguments)
{
    QProcess p;
    p.start(QLatin1String(program), arguments);
    p.waitForFinished(30000);
    // Compatibility form: the PDF may carry ligatures such as "fi" as one character.
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

bool One_page(const QString &pdf) { return Run("pdfinfo", {pdf}).contains(QRegularExpression("\nPages: +1\n")); }

// The page's text lines.
QStringList Page_lines(const QString &pdf) { return Run("pdftotext", {pdf, "-"}).split(QRegularExpression("\\s*\n\\s*")); }
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

    void the_machine_is_named_in_the_report()
    {
        // As Linux writes the files: quoted name, one block per processor, sizes in kB.
        QTemporaryDir dir;
        QVERIFY(Write_file(dir.filePath("os-release"), "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n")
                && Write_file(dir.filePath("cpuinfo"), "processor\t: 0\nmodel name\t: Xeon(R) CPU @ 2.20GHz\n\nprocessor\t: 1\nmodel name\t: other\n")
                && Write_file(dir.filePath("meminfo"), "MemTotal:       16303412 kB\nMemFree:          500000 kB\n"));
        Globals::Machine_texts machine =
            Globals::Describe_machine(dir.filePath("os-release"), dir.filePath("cpuinfo"), dir.filePath("meminfo"));
        QCOMPARE(machine.system, QStringLiteral("Debian GNU/Linux 12 (bookworm)"));
        QCOMPARE(machine.cpu, QStringLiteral("Xeon")); // short enough for the window's label
        QCOMPARE(machine.memory, QStringLiteral("15.5 GiB"));
        // Files that say nothing: Qt's view of the system, no memory text.
        machine = Globals::Describe_machine(dir.filePath("none"), dir.filePath("none"), dir.path());
        QVERIFY(!machine.system.isEmpty() && !machine.cpu.isEmpty() && machine.memory.isEmpty());

        // This machine's own, in the window's labels.
        machine = Globals::Describe_machine();
        QVERIFY(!machine.cpu.isEmpty() && !machine.memory.isEmpty());
        Report(QStringLiteral("Bad argument"));
        QVERIFY(Control<QLabel>("Label_PC_info")->text().endsWith(" Ram: " + machine.memory));
        QCOMPARE(Control<QLabel>("Label_Windows_Version")->text(), machine.system + "\r\nCPU = " + machine.cpu + " OS = " + machine.os);
    }

    void a_report_replaces_the_last_and_keeps_its_comments_and_a_failure_composing_it_is_told()
    {
        Fixed_uptime clock(3723450);
        Scoped_facility<Uptime_clock> use_clock(clock);
        Report(QStringLiteral("Bad argument"), {}, QStringLiteral("heat 12"));
        QCOMPARE(Report_text(), Report_start + "Bad argument" + Version_line
                                    + "heat 12program name: Velantra Remote Client Uptime:  1:02:03,45\r\n");
        QVERIFY(Form()->isVisible() && !Form()->isModal() && Form()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
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

        // A failure while composing the report.
        Message_recorder messages;
        clock.reading.reset();
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
        const QString path = Globals::User_appdata_path + QStringLiteral("/Velantra_errlog.txt");
        Click("Cmd_save_log");
        Click("Cmd_save_log");
        const QString record = QStringLiteral("Saved  at: \\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n")
                               + QRegularExpression::escape("\r\nVelantra Remote Client version " + Build + "\r\n Computer: " + QSysInfo::machineHostName() + "\r\n\r\n"
                                                            + Report_text() + "\r\ncaf\u00e9 & more\r\nsecond #2 ?x=1\r\n" + QString(44, '*') + "\r\n");
        // Latin-1 reading: the é must be the single Windows-1252 byte.
        QVERIFY(QRegularExpression("\\A" + record + record + "\\z").match(QString::fromLatin1(File_bytes(path))).hasMatch());
        QCOMPARE(messages.Texts(), QStringList(2, "Error info appended to file: " + path));

        messages.Clear();
        Url_recorder urls;
        urls.takes = false; // the desktop has no mail program
        Click("Cmd_mailto");
        QVERIFY(urls.opened.size() == 1 && messages.Texts().isEmpty());
        QCOMPARE(urls.opened[0].toString(QUrl::RemoveQuery), "mailto:" + Error_report::Vendor_email);
        const QString body = QUrlQuery(urls.opened[0]).queryItemValue(QStringLiteral("Body"), QUrl::FullyDecoded);
        QVERIFY2(body.contains(Report_text()) && body.endsWith("caf\u00e9 & more\r\nsecond #2 ?x=1"), qPrintable(body));

        {
            Failing_printers printers;
            Scoped_facility<Printers> use(printers);
            Click("Cmd_print_error");
            printers.count = 1;
            Click("Cmd_print_error");
        }
        QCOMPARE(messages.Texts(), (QStringList{QStringLiteral("No printer availible"), QStringLiteral("Printer error")}));

        // A skip outside CI only: there poppler-utils and the run's own printer must be there.
        const QString printed = qEnvironmentVariable("VELANTRA_TEST_PRINT_FILE");
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() || printed.isEmpty() || Print_job::Printer_count() == 0) {
            QVERIFY2(!Services_required(), "needs poppler-utils and the test run's CUPS scheduler (tests/services/cups.sh)");
            QSKIP("no poppler-utils or no printer of the test run's own (tests/services/cups.sh)");
        }
        // For real on the default printer: the run's own queue writes the page to its file.
        messages.Clear();
        QFile::remove(printed); // a job of an earlier test in this run
        Click("Cmd_print_error");
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join('|')));
        QTRY_VERIFY_WITH_TIMEOUT(One_page(printed), 30000); // once the whole job is in
        // The report and the comments, whole and in order, on the one page.
        const QStringList lines = Page_lines(printed);
        qsizetype at = 0;
        for (const QString &line : QStringList{"error description: 5, a & b # c ? d = e % f + g", "caf\u00e9 & more", "second #2 ?x=1"})
            QVERIFY2((at = lines.indexOf(line, at)) >= 0, qPrintable(line + "\n" + lines.join('\n')));
        QFile::remove(printed);

        // A queue that refuses jobs prints nothing, and says so.
        messages.Clear();
        const QByteArray queue = qgetenv("PRINTER");
        qputenv("PRINTER", qgetenv("VELANTRA_TEST_REFUSING_PRINTER"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("print job was refused"));
        Click("Cmd_print_error");
        qputenv("PRINTER", queue);
        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("Printer error")});
    }

    void failed_log_save_names_its_cause_and_leaves_no_partial_record_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        // The folder lookup's text when it found none: no folder, not one under the working folder.
        QTest::newRow("no such folder") << "relative" << "Log errorPath not found 76";
        // Root may write anywhere: a log file that is a folder fails for everyone.
        QTest::newRow("log is a folder") << "folder" << "Log errorPath/File access error 75";
        QTest::newRow("file-size limit") << "limit" << "Log errorDisk full 61";
        QTest::newRow("full disk") << "full" << "Log errorDisk full 61";
    }

    void failed_log_save_names_its_cause_and_leaves_no_partial_record()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        const QByteArray earlier = "Saved  at: an earlier record\r\n";
        QTemporaryDir dir;
        std::optional<Small_tmpfs> disk;
        if (fault == QLatin1String("full") && !disk.emplace("size=64k").Mounted())
            QSKIP("no tmpfs may be mounted here (root only)");
        QString folder = disk ? disk->Path() : dir.path();
        std::optional<Working_folder> here;
        if (fault == QLatin1String("relative")) {
            here.emplace(folder);
            folder = QStringLiteral("The folder does not exist");
            QDir().mkpath(folder);
        }
        const QString log = folder + QStringLiteral("/Velantra_errlog.txt");
        const bool appending = fault == QLatin1String("limit") || disk;
        if (appending)
            QVERIFY(Write_file(log, earlier));
        if (fault == QLatin1String("folder"))
            QDir(folder).mkpath(QStringLiteral("Velantra_errlog.txt"));
        if (disk)
            disk->Fill();
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
        QCOMPARE(File_bytes(log), appending ? earlier : QByteArray());
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
    Platform::Keep_running_at_file_size_limit(); // as Run_client does
    Safe_application app(argc, argv);
    const Program_facilities facilities;
    Tst_error_report test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_error_report.moc"

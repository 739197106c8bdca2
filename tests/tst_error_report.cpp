// The error-report window: the report it composes, its life cycle, the failure
// inside the handler, the error log and the program file's date.

#include "error_report/dkn_error_form.h"
#include "error_report/error_report_text.h"
#include "shared/forms.h"
#include "shared/globals.h"
#include "shared/non_dependant.h"
#include "shared/file_date.h"
#include "support/test_support.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <stdexcept>

namespace {
const QString Version_line =
    QStringLiteral("Velantra Remote Client Program version 1.1.26 rm0 Compile date: 2017-06-20 20:48\r\n");

DKN_error_form *Form() { return DKN_error_form::Loaded_instance(); }

template <typename W>
W *Control(const char *name)
{
    return Form() ? Form()->findChild<W *>(QLatin1String(name)) : nullptr;
}

void Click(const char *button)
{
    QPushButton *b = Control<QPushButton>(button);
    QVERIFY2(b, button);
    QTest::mouseClick(b, Qt::LeftButton);
}
} // namespace

class Tst_error_report : public QObject
{
    Q_OBJECT
    std::unique_ptr<Isolated_user_dirs> dirs_;

private slots:
    void initTestCase()
    {
        dirs_ = std::make_unique<Isolated_user_dirs>();
        Globals::Init_program();
        QDir().mkpath(Globals::User_appdata_path);
    }
    void init() { Error_report::Test_seams().uptime_ms = [] { return qint32(3723450); }; }
    void cleanup()
    {
        delete Form();
        Error_report::Test_seams() = {};
        QLocale::setDefault(QLocale::system());
    }

    void report_has_four_exact_lines_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<qint32>("uptime");
        QTest::addColumn<QString>("last_line");
        QTest::newRow("empty extra") << QString() << qint32(3723450)
                                     << "Extra information: program name: Velantra Remote Client Uptime:  1:02:03,45";
        QTest::newRow("with extra") << "heat 12" << qint32(5300)
                                    << "Extra information: heat 12program name: Velantra Remote Client Uptime:  00:05,30";
        // The counter passes 2^31 ms after about 24.8 days and reads negative.
        QTest::newRow("negative uptime") << QString() << qint32(-61000)
                                         << "Extra information: program name: Velantra Remote Client Uptime: -01:01,00";
    }
    void report_has_four_exact_lines()
    {
        QFETCH(QString, extra);
        QFETCH(qint32, uptime);
        QFETCH(QString, last_line);
        Error_report::Test_seams().uptime_ms = [uptime] { return uptime; };
        Message_recorder messages;

        DKN_Error_Handler(QStringLiteral("Bad argument"), 5, 11460, QStringLiteral("PlaySOUND"), extra);

        QVERIFY(Form());
        QCOMPARE(Form()->Report_text(), QStringLiteral("Location of error: PlaySOUND line: 11460\r\n"
                                                       "error description: 5, Bad argument\r\n")
                                            + Version_line + last_line + QStringLiteral("\r\n"));
        QCOMPARE(Form()->Report_text(),
                 Error_report::Compose_report(QStringLiteral("Bad argument"), 5, 11460, QStringLiteral("PlaySOUND"),
                                              extra, uptime));
        QVERIFY(messages.Texts().isEmpty());
    }

    void second_report_replaces_first_and_keeps_comments()
    {
        DKN_Error_Handler(QStringLiteral("first"), 1, 10, QStringLiteral("One"), QStringLiteral("a"));
        QVERIFY(Form()->isVisible() && !Form()->isModal() && Forms::Is_Loaded(Form()));
        QVERIFY(Form()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(Form()->windowTitle(), QStringLiteral("Velantra Remote Client error"));
        QCOMPARE(Control<QLabel>("Label1")->text(), QStringLiteral("Velantra Remote Client error report"));
        // Nothing fills in the PC values, so only the fixed words show.
        QCOMPARE(Control<QLabel>("Label_PC_info")->text(), QStringLiteral("  Ram: "));
        QCOMPARE(Control<QLabel>("Label_Windows_Version")->text(), QStringLiteral("\r\nCPU =  OS = "));
        QTest::keyClicks(Control<QPlainTextEdit>("Text_error_comments"), QStringLiteral("It happened at the start"));
        Click("Cmd_continue");
        QVERIFY(!Form()->isVisible());
        QVERIFY(Forms::Is_Loaded(Form()));

        DKN_Error_Handler(QStringLiteral("second"), 2, 20, QStringLiteral("Two"), QString());
        QVERIFY(Form()->isVisible());
        QVERIFY(Form()->Report_text().startsWith(
            QStringLiteral("Location of error: Two line: 20\r\nerror description: 2, second\r\n")));
        QVERIFY(!Form()->Report_text().contains(QStringLiteral("first")));
        QCOMPARE(Form()->Comments_text(), QStringLiteral("It happened at the start"));

        // The close box unloads it: the next report starts with an empty comments box.
        QPointer<DKN_error_form> old = Form();
        QVERIFY(old->close());
        QTRY_VERIFY(old.isNull());
        QVERIFY(!Forms::Is_Loaded(old));
        DKN_Error_Handler(QStringLiteral("third"), 3, 30, QStringLiteral("Three"), QString());
        QVERIFY(Form());
        QVERIFY(Form()->Report_text().contains(QStringLiteral("3, third")));
        QCOMPARE(Form()->Comments_text(), QString());

        int exits = 0;
        Error_report::Test_seams().exit_program = [&exits] { ++exits; };
        Click("Cmd_exit");
        QCOMPARE(exits, 1);
    }

    void events_during_the_yield_do_not_upset_the_report()
    {
        // A report raised by an event that runs during the yield is replaced by the outer one.
        QTimer::singleShot(0, this, [] { DKN_Error_Handler(QStringLiteral("inner"), 2, 0, QStringLiteral("In"), QString()); });
        DKN_Error_Handler(QStringLiteral("outer"), 1, 0, QStringLiteral("Out"), QString());
        QVERIFY(Form()->Report_text().startsWith(QStringLiteral("Location of error: Out line: 0\r\n")));

        // A close box clicked during the yield: the report still finds a window.
        QTimer::singleShot(0, Form(), [] { Form()->close(); });
        DKN_Error_Handler(QStringLiteral("again"), 3, 0, QStringLiteral("Again"), QString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(Form() && Form()->isVisible());
        QVERIFY(Form()->Report_text().contains(QStringLiteral("3, again")));
    }

    void failure_inside_the_handler_is_shown_and_contained()
    {
        Message_recorder messages;
        Error_report::Test_seams().uptime_ms = []() -> qint32 { throw std::overflow_error("Overflow"); };

        DKN_Error_Handler(QStringLiteral("Bad argument"), 5, 11460, QStringLiteral("PlaySOUND"), QString());

        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("*Error in Error_formOverflow6 3380")});
        // What was written before the failing step stays.
        QCOMPARE(Form()->Report_text(),
                 QStringLiteral("Location of error: PlaySOUND line: 11460\r\nerror description: 5, Bad argument\r\n")
                     + Version_line + QStringLiteral("Extra information: program name: Velantra Remote Client"));
    }

    void log_record_is_exact()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDateTime at(QDate(2026, 3, 4), QTime(7, 8, 9));
        const QString record = Error_report::Compose_log_record(
            at, QStringLiteral("line one\r\nline two\r\n"), QStringLiteral("typed\nmore"));
        QCOMPARE(record, QStringLiteral("Saved  at: 04.03.26 07:08:09\r\n\r\n"
                                        "Velantra Remote Client version 1.1.26 rm0 Compile date: 2017-06-20 20:48\r\n"
                                        " Computer: \r\n\r\n"
                                        "line one\r\nline two\r\n\r\n"
                                        "typed\r\nmore\r\n"
                                        "********************************************\r\n"));
    }

    void saving_twice_appends_two_complete_records()
    {
        Message_recorder messages;
        DKN_Error_Handler(QStringLiteral("Disk & co"), 5, 10, QStringLiteral("Here"), QString());
        Control<QPlainTextEdit>("Text_error_comments")->setPlainText(QStringLiteral("caf\u00e9"));
        const QString path = Globals::User_appdata_path + QStringLiteral("/Velantra_errlog.txt");
        QFile::remove(path);

        Click("Cmd_save_log");
        Click("Cmd_save_log");

        const QString confirmation = QStringLiteral("Error info appended to file: ") + path;
        QCOMPARE(messages.Texts(), (QStringList{confirmation, confirmation}));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // Everything after the date line, in the Windows code page.
        const QString record = Error_report::Compose_log_record(QDateTime(), Form()->Report_text(), QStringLiteral("caf\u00e9"));
        const QByteArray tail = record.mid(record.indexOf(QLatin1Char('\n')) + 1).toLatin1();
        QVERIFY(tail.contains("caf\xe9\r\n****"));
        const QByteArray one = QByteArrayLiteral("Saved  at: [^\r\n]+\r\n") + QRegularExpression::escape(QString::fromLatin1(tail)).toLatin1();
        const QRegularExpression two(QStringLiteral("\\A") + QString::fromLatin1(one + one) + QStringLiteral("\\z"));
        QVERIFY2(two.match(QString::fromLatin1(bytes)).hasMatch(), bytes.constData());
    }

    void unwritable_log_gives_log_error()
    {
        Message_recorder messages;
        DKN_Error_Handler(QStringLiteral("x"), 1, 0, QStringLiteral("here"), QString());
        const QString saved_path = Globals::User_appdata_path;
        QTemporaryDir dir;
        // Root may write anywhere, so use places that cannot be files at all.
        QFile blocker(dir.filePath(QStringLiteral("not_a_folder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Globals::User_appdata_path = blocker.fileName() + QStringLiteral("/sub");
        Click("Cmd_save_log");
        QDir(dir.path()).mkpath(QStringLiteral("Velantra_errlog.txt"));
        Globals::User_appdata_path = dir.path();
        Click("Cmd_save_log");
        Globals::User_appdata_path = saved_path;

        QCOMPARE(messages.Texts(), (QStringList{QStringLiteral("Log errorPath not found 76"),
                                                QStringLiteral("Log errorPath/File access error 75")}));
        QVERIFY(Form()->isVisible());
    }

    void file_date_is_the_executable_date_in_the_locale_format()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDateTime modified = QFileInfo(QCoreApplication::applicationFilePath()).lastModified();
        QCOMPARE(FileDate(), modified.toString(QStringLiteral("dd.MM.yy HH:mm:ss")));
        QVERIFY(!Form());
    }

    void file_date_failure_goes_to_the_window()
    {
        QCOMPARE(File_date_of(QStringLiteral("/no/such/program"), QStringLiteral("FileDate of Module Non_dependant")),
                 QString());
        QVERIFY(Form());
        QVERIFY(Form()->Report_text().startsWith(QStringLiteral(
            "Location of error: FileDate of Module Non_dependant line: 20\r\nerror description: 53, File not found\r\n")));
    }
};

QTEST_MAIN(Tst_error_report)
#include "tst_error_report.moc"

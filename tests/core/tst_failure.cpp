// The failure route without a window: one numbering for every kind of failure, the
// location a guarded handler gives, the procedures that trap their own failures,
// and reports from another thread.

#include "shared/facility.h"
#include "shared/failure.h"
#include "shared/file_date.h"

#include <QtTest>

#include <new>
#include <thread>

Q_DECLARE_METATYPE(std::exception_ptr)

namespace {

// The failure sink while it lives: every report as one line, and the thread it came on.
struct Report_recorder final : Failure_sink
{
    void Report(const QString &description, qint16 number, qint16 line, const QString &location,
                const QString &extra) override
    {
        reports << QStringLiteral("%1 line %2: %3, %4%5").arg(location).arg(line).arg(number).arg(description, extra);
        threads << QThread::currentThread();
    }
    QStringList reports;
    QList<QThread *> threads;
};

void Command_start_Click() // a handler as the windows write them
{
    Guarded(__func__, [] { throw std::out_of_range("Subscript out of range"); });
}

} // namespace

class Tst_failure : public QObject
{
    Q_OBJECT
private slots:
    void one_numbering_data()
    {
        QTest::addColumn<std::exception_ptr>("failure");
        QTest::addColumn<QString>("report");
        QTest::newRow("its own number") << std::make_exception_ptr(Numbered_failure(QStringLiteral("Resource not found"), 326))
                                        << "326, Resource not found";
        QTest::newRow("out of memory") << std::make_exception_ptr(std::bad_alloc()) << "7, std::bad_alloc";
        QTest::newRow("overflow") << std::make_exception_ptr(std::overflow_error("Overflow")) << "6, Overflow";
        QTest::newRow("out of range") << std::make_exception_ptr(std::out_of_range("Subscript")) << "9, Subscript";
        QTest::newRow("invalid argument") << std::make_exception_ptr(std::invalid_argument("Bad")) << "5, Bad";
        QTest::newRow("any other") << std::make_exception_ptr(std::runtime_error("socket gone")) << "51, socket gone";
        QTest::newRow("no standard exception") << std::make_exception_ptr(42) << "51, Unknown failure";
    }
    void one_numbering()
    {
        QFETCH(std::exception_ptr, failure);
        const Failure_text text = Describe_failure(failure);
        QTEST(QStringLiteral("%1, %2").arg(text.number).arg(text.description), "report");
        Report_recorder sink;
        Scoped_facility<Failure_sink> use(sink);
        Report_failure(QStringLiteral("Here"), 30, failure);
        QCOMPARE(sink.reports.size(), 1);
        QTEST(sink.reports[0].section(QStringLiteral(": "), 1), "report");
    }

    void a_guarded_handler_reports_under_its_own_name()
    {
        Report_recorder sink;
        Scoped_facility<Failure_sink> use(sink);
        Command_start_Click(); // returns normally
        QCOMPARE(sink.reports, QStringList{QStringLiteral("Command_start_Click line 0: 9, Subscript out of range")});
    }

    void file_date_or_its_failure()
    {
        Report_recorder sink;
        Scoped_facility<Failure_sink> use(sink);
        // The locale's short date and long time, without the zone.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDateTime modified = QFileInfo(QCoreApplication::applicationFilePath()).lastModified();
        QCOMPARE(FileDate(), modified.toString(QStringLiteral("dd.MM.yy HH:mm:ss")));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(File_date_of(QStringLiteral("/no/such/program"), QStringLiteral("FileDate of Module Non_dependant")), QString());
        QCOMPARE(sink.reports, QStringList{QStringLiteral("FileDate of Module Non_dependant line 20: 53, File not found")});
    }

    void a_report_from_another_thread_is_made_on_the_applications()
    {
        Report_recorder sink;
        Scoped_facility<Failure_sink> use(sink);
        std::thread([] {
            try {
                throw std::overflow_error("Overflow");
            } catch (...) {
                Report_failure(QStringLiteral("Winsock1_DataArrival"));
            }
        }).join();
        QVERIFY(sink.reports.isEmpty());
        QTRY_COMPARE(sink.reports, QStringList{QStringLiteral("Winsock1_DataArrival line 0: 6, Overflow")});
        QCOMPARE(sink.threads, QList<QThread *>{QThread::currentThread()});
    }

    void a_failing_sink_or_a_loop_of_failures_ends_on_standard_error()
    {
        struct : Failure_sink {
            void Report(const QString &, qint16, qint16, const QString &location, const QString &) override
            {
                ++depth;
                // Reporting fails in turn, again and again: the nesting is cut off.
                Guarded(qPrintable(location), [] { throw std::runtime_error("again"); });
                throw std::runtime_error("the sink failed");
            }
            int depth = 0;
        } looping;
        Scoped_facility<Failure_sink> use(looping);
        Report_failure(QStringLiteral("Start"), 0, std::make_exception_ptr(std::runtime_error("first")));
        QCOMPARE(looping.depth, 4);
    }
};

QTEST_GUILESS_MAIN(Tst_failure)
#include "tst_failure.moc"

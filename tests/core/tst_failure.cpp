// The failure route without a window: the location a guarded handler or a trapped
// procedure gives, reports from another thread, and a route that fails in turn.

#include "core/shared/facility.h"
#include "core/shared/failure.h"
#include "core/shared/file_date.h"

#include <QtTest>

#include <stdexcept>
#include <thread>

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
    Scoped_facility<Failure_sink> use{*this};
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
    void each_failure_is_reported_once_under_its_location_on_the_applications_thread_and_a_failing_sink_is_cut_off()
    {
        Report_recorder sink;
        Command_start_Click(); // returns normally
        QCOMPARE(File_date_of(QStringLiteral("/no/such/program"), QStringLiteral("FileDate of Module Non_dependant")), QString());
        std::thread([] {
            try {
                throw std::invalid_argument("Bad");
            } catch (...) {
                Report_failure(QStringLiteral("Winsock1_DataArrival"));
            }
        }).join();
        QCOMPARE(sink.reports.size(), 2); // the other thread's report waits for the application's loop
        QTRY_COMPARE(sink.reports, (QStringList{QStringLiteral("Command_start_Click line 0: 9, Subscript out of range"),
                                                QStringLiteral("FileDate of Module Non_dependant line 20: 53, File not found"),
                                                QStringLiteral("Winsock1_DataArrival line 0: 5, Bad")}));
        QCOMPARE(sink.threads, QList<QThread *>(3, QThread::currentThread()));

        // A failing sink, or a loop of failures, ends on standard error.
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

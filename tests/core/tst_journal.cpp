// The race journal on its own: the lines as written (escaped, in order, a day a file,
// after a cut line), the day's limit, a second running copy, a disk that refuses the
// writes, and a kill right after a Start.
#include "core/connection/remote_connection.h"
#include "core/journal/race_journal.h"
#include "core/main_window/journal_hooks.h"
#include "core/shared/platform.h"
#include "core/start_trigger/start_trigger.h"
#include "support/test_support.h"

#include <QtTest>

#include <atomic>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The lines of a journal with the time of each masked, after checking its form.
QStringList Masked_lines(const QString &path)
{
    const QString text = QString::fromUtf8(File_bytes(path));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (lines.constLast().isEmpty())
        lines.removeLast();
    static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\t"));
    for (QString &line : lines)
        if (line.contains(stamp))
            line.replace(stamp, QStringLiteral("T\t"));
    return lines;
}

const QString Start = QStringLiteral("14:03:22 Velantra Start");
constexpr auto Urgent = Race_journal::Kind::Urgent;

} // namespace

class Tst_journal : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Platform::Keep_running_at_file_size_limit(); } // as the program does

    void lines_are_appended_escaped_in_order_a_day_a_file_and_received_ones_stop_at_a_limit()
    {
        QTemporaryDir dir;
        const QString today = Todays_journal(dir.path());
        // A line cut short by an earlier crash stays alone.
        QVERIFY(Write_file(today, "kept\r\ncut sh"));
        const QDateTime noon(QDate::currentDate(), QTime(12, 0, 1, 7));
        const qint64 yesterday = noon.addDays(-1).toMSecsSinceEpoch();
        {
            Race_journal journal(dir.path());
            QCOMPARE(journal.Path(), today);
            journal.Record(yesterday, QStringLiteral("late"), {QStringLiteral("a\tb\\c\r\n")});
            journal.Record(Race_journal::Now(), QStringLiteral("started"), {QStringLiteral("version 1.1.26")});
            journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("text"), QStringLiteral("keyboard")},
                                   QStringLiteral("14:03:22 a\u2192b\tc"), Urgent);
            QTRY_VERIFY(File_bytes(today).contains("a?b")); // the rest in a later write
            journal.Record_received(Race_journal::Now(), {QStringLiteral("Velantra Active Heat/7/Ready"),
                                                          QString::fromUtf8("\x07\u0081é¤ x\\y\t")});
        }
        QCOMPARE(Masked_lines(today), (QStringList{"kept", "cut sh", "T\tstarted\tversion 1.1.26",
                                                   "T\tsent\ttext\tkeyboard\t14:03:22 a?b\\x09c",
                                                   "T\treceived\tVelantra Active Heat/7/Ready",
                                                   QString::fromUtf8("T\treceived\t\\x07\\x81é¤ x\\\\y\\x09")}));
        const QString late = dir.filePath(QStringLiteral("Velantra_journal_%1.txt").arg(noon.date().addDays(-1).toString(Qt::ISODate)));
        QCOMPARE(File_bytes(late), noon.addDays(-1).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toUtf8()
                                       + "\tlate\ta\\x09b\\\\c\\x0D\\x0A\r\n");

        // Received lines stop at the day's limit, sent ones do not.
        QTemporaryDir limited;
        const QDateTime tomorrow = QDateTime::currentDateTime().addDays(1);
        for (int run = 0; run < 2; ++run) { // a restart finds the day full, and says it no more
            Race_journal journal(limited.path(), {400, 1 << 20});
            for (int i = 0; i < 20; ++i)
                journal.Record_received(Race_journal::Now(), {QString(30, QChar('a' + i))});
            journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("abort")}, QStringLiteral("x"), Urgent);
            journal.Record_received(tomorrow.toMSecsSinceEpoch(), {QStringLiteral("next day")});
        }
        const QStringList lines = Masked_lines(Todays_journal(limited.path()));
        QCOMPARE(lines.filter(QStringLiteral("\tlimit\t")), QStringList{"T\tlimit\treceived lines are no longer recorded today: the journal has reached 0 MiB"});
        QCOMPARE(lines.mid(lines.indexOf(lines.filter(QStringLiteral("\tlimit\t")).value(0)) + 1),
                 (QStringList{"T\tsent\tabort\tx", "T\tsent\tabort\tx"}));
        QCOMPARE(File_bytes(limited.filePath("Velantra_journal_" + tomorrow.date().toString(Qt::ISODate) + ".txt")).count("next day"), 2);
    }

    // Nothing that is not a file of ours in a folder of ours is written to, and that is
    // said once; the program goes on.
    void a_journal_that_cannot_be_opened_says_so_once_and_touches_nothing_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("why");
        QTest::newRow("a FIFO in the way") << "fifo" << "not a regular file"; // must not hang the writer
        QTest::newRow("a link to a file of ours") << "link" << "a symbolic link, not followed";
        QTest::newRow("a link to nothing") << "dangling" << "a symbolic link, not followed";
        QTest::newRow("a folder others may write to") << "folder" << "the folder is not the user's own, or other users may write to it";
    }
    void a_journal_that_cannot_be_opened_says_so_once_and_touches_nothing()
    {
        QFETCH(QString, fault);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = Todays_journal(dir.path()), target = dir.filePath(QStringLiteral("settings.ini"));
        if (fault == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (fault == QLatin1String("link"))
            QVERIFY(Write_file(target, "[settings]\r\n"));
        if (fault == QLatin1String("link") || fault == QLatin1String("dangling"))
            QVERIFY(QFile::link(target, path));
        if (fault == QLatin1String("folder"))
            QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
        std::atomic<int> said{0}; // told on the journal's thread
        QString text;
        {
            Race_journal journal(dir.path());
            connect(&journal, &Race_journal::Cannot_write, &journal, [&](const QString &why) {
                text = said.load() ? text : why;
                ++said;
            }, Qt::DirectConnection);
            for (int i = 0; i < 3; ++i, QTest::qWait(30)) // batches of their own
                journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("start")}, Start, Urgent);
            QTRY_COMPARE(said.load(), 1);
        }
        QCOMPARE(said.load(), 1);
        QCOMPARE(text, QStringLiteral("The race journal cannot be written: ") + path + QStringLiteral(": ") + why);
        QCOMPARE(File_bytes(target), QByteArray(fault == QLatin1String("link") ? "[settings]\r\n" : "")); // untouched, or never made
        QVERIFY(fault != QLatin1String("folder") || !QFileInfo::exists(path));
    }

    // What a full disk or a file-size limit did not take: every line but received ones is
    // held, up to a bound, and written in order once the disk takes lines again; the rest
    // is counted.
    void lines_a_failing_disk_did_not_take_are_written_once_it_does_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("kept"); // lines held at most
        QTest::newRow("full disk") << "No space left on device" << 10000;
        QTest::newRow("full disk, two lines held") << "No space left on device" << 2;
        QTest::newRow("file-size limit, a line cut") << "File too large" << 10000;
    }
    void lines_a_failing_disk_did_not_take_are_written_once_it_does()
    {
        QFETCH(QString, fault);
        QFETCH(int, kept);
        QTemporaryDir dir;
        std::optional<Small_tmpfs> disk;
        if (fault.startsWith(QLatin1String("No space")) && !disk.emplace("size=64k,mode=0700").Mounted())
            QSKIP("no tmpfs may be mounted here (root only)");
        const QString path = Todays_journal(disk ? disk->Path() : dir.path());
        std::optional<File_size_limit> limit;
        if (disk)
            disk->Fill();
        else
            limit.emplace(40); // inside the first line
        const QStringList starts{Start + " 1", Start + " 2", Start + " 3"};
        std::atomic<int> writes{0};
        QSemaphore go;
        {
            Journal_limits limits;
            limits.kept_lines = kept;
            Race_journal journal(QFileInfo(path).path(), limits, [&] {
                if (writes++ == 0)
                    go.acquire();
            });
            const struct Let_go { QSemaphore &go; ~Let_go() { go.release(2); } } let_go{go};
            const auto sent = [&](int i) { journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("start")}, starts[i], Urgent); };
            sent(0);
            QTRY_COMPARE(writes.load(), 1); // alone, held at the disk while the rest comes
            journal.Record_received(Race_journal::Now(), {QStringLiteral("a")});
            sent(1);
            journal.Record_received(Race_journal::Now(), {QStringLiteral("b")});
            sent(2);
            go.release();
            QTRY_VERIFY(writes.load() >= 2); // all of it tried, in vain
            limit.reset();
            if (disk)
                QFile::remove(disk->Path() + QStringLiteral("/filler"));
            journal.Record(Race_journal::Now(), QStringLiteral("ended"));
        }
        QStringList expected;
        for (int i = 0; i < std::min(3, kept); ++i)
            expected << "T\tsent\tstart\t" + starts[i];
        expected << QStringLiteral("T\tunwritten\t%1 lines could not be written: cannot write: %2").arg(5 - expected.size()).arg(fault) << "T\tended";
        const QStringList lines = Masked_lines(path);
        QCOMPARE(lines.mid(lines.size() - expected.size()), expected);
    }

    // A disk that does not answer holds the exit Exit_wait_ms at most: what was not written
    // is counted on standard error, and written if the disk answers while the process lives.
    void a_disk_that_hangs_holds_the_exit_a_while_only()
    {
        QTemporaryDir dir;
        const auto disk = std::make_shared<QSemaphore>(); // what the left-behind thread waits on
        const auto waiting = std::make_shared<std::atomic<int>>(0);
        {
            Race_journal journal(dir.path(), {}, [disk, waiting] {
                ++*waiting;
                disk->acquire();
                disk->release();
            });
            journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("start")}, Start, Urgent);
            QTRY_COMPARE(waiting->load(), 1);
            journal.Record(Race_journal::Now(), QStringLiteral("ended"));
            QTest::ignoreMessage(QtWarningMsg, qPrintable("velantra-remote: the race journal's disk did not answer within 2 s; "
                                                          "2 lines were not written to " + Todays_journal(dir.path())));
        }
        disk->release();
        QTRY_COMPARE(Masked_lines(Todays_journal(dir.path())), (QStringList{"T\tsent\tstart\t" + Start, "T\tended"}));
    }

    // The record agrees with what the writer tells: a message refused with a full queue
    // counts among those a closing tells as not sent (or not acknowledged). Each end of a
    // connection's line: tst_remote_starter.
    void the_record_agrees_with_what_the_writer_tells()
    {
        QTemporaryDir dir;
        int unsent = 0;
        {
            Race_journal journal(dir.path());
            Remote_connection connection;
            Start_trigger trigger;
            Journal_hooks hooks;
            hooks.Attach(journal, connection, trigger);
            int ends[2];
            QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0); // nobody reads
            Message_writer writer;
            writer.Set_observer(&hooks);
            writer.Open(ends[0], [] {});
            while (writer.Send(Message_kind::Text, QString(60000, QLatin1Char('x')), {}) == Send_result::Sent) {
            }
            while (writer.Send(Message_kind::Text, QString(1000, QLatin1Char('y')), {}) == Send_result::Queued) {
            }
            unsent = writer.Close(Not_sent_reason::Queue_full);
            ::close(ends[0]), ::close(ends[1]);
        }
        const QStringList lines = Masked_lines(Todays_journal(dir.path()));
        QVERIFY(unsent > 2);
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^T\t(unsent|unacknowledged)\t"))).size(), unsent);
    }

    void a_kill_right_after_a_start_leaves_it_on_disk_and_a_running_copys_journal_untouched()
    {
        QTemporaryDir dir;
        QProcess copy;
        copy.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--record-start"), dir.path()});
        QVERIFY(copy.waitForReadyRead(10000));
        // On the disk by itself: the copy never ends, so no exit writes it.
        QTRY_VERIFY(File_bytes(Todays_journal(dir.path())).contains("Velantra Start"));
        {
            Race_journal second(dir.path());
            second.Record(Race_journal::Now(), QStringLiteral("second"));
        }
        copy.kill();
        QVERIFY(copy.waitForFinished(10000));
        QCOMPARE(Masked_lines(Todays_journal(dir.path())), QStringList{"T\tsent\tstart\tStart button\t14:03:22 Velantra Start"});
        QCOMPARE(Masked_lines(Todays_journal(dir.path()).chopped(4) + "_2.txt"), QStringList{"T\tsecond"});
    }
};

// The running copy of the kill test: records a Start, says so, and waits to be killed.
int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--record-start") == 0) {
        Race_journal journal(QString::fromLocal8Bit(argv[2]));
        journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("start"), QStringLiteral("Start button")}, Start, Urgent);
        std::puts("recorded");
        std::fflush(stdout);
        QThread::sleep(60);
        return 1;
    }
    QCoreApplication app(argc, argv);
    Tst_journal test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_journal.moc"

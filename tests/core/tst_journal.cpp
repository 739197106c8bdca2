// The race journal on its own: the lines as written (escaped, in order, a day a file,
// after a cut line), the day's limit, a second running copy, a disk that refuses the
// writes, and a kill right after a Start.
#include "journal/race_journal.h"
#include "support/test_support.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <optional>
#include <sys/stat.h>

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

QString Today_file(const QString &folder, const QString &suffix = {})
{
    return folder + QStringLiteral("/Velantra_journal_") + QDate::currentDate().toString(Qt::ISODate) + suffix
           + QStringLiteral(".txt");
}

const QString Start = QStringLiteral("14:03:22 Velantra Start");

} // namespace

class Tst_journal : public QObject
{
    Q_OBJECT
private slots:
    void lines_are_appended_escaped_in_order_a_day_a_file()
    {
        QTemporaryDir dir;
        const QString today = Today_file(dir.path());
        // A line cut short by an earlier crash stays alone.
        QFile old(today);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("kept\r\ncut sh") > 0);
        old.close();
        const QDateTime noon(QDate::currentDate(), QTime(12, 0, 1, 7));
        const qint64 yesterday = noon.addDays(-1).toMSecsSinceEpoch();
        {
            Race_journal journal(dir.path());
            QCOMPARE(journal.Path(), today);
            journal.Record(yesterday, QStringLiteral("late"), {QStringLiteral("a\tb\\c\r\n")});
            journal.Record(Race_journal::Now(), QStringLiteral("started"), {QStringLiteral("version 1.1.26")});
            journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("text"), QStringLiteral("keyboard")},
                                   QStringLiteral("14:03:22 a\u2192b\tc"), Race_journal::Kind::Urgent);
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
    }

    void received_lines_stop_at_the_days_limit_sent_ones_do_not()
    {
        QTemporaryDir dir;
        const QDateTime tomorrow = QDateTime::currentDateTime().addDays(1);
        for (int run = 0; run < 2; ++run) { // a restart finds the day full, and says it no more
            Race_journal journal(dir.path(), {400, 1 << 20});
            for (int i = 0; i < 20; ++i)
                journal.Record_received(Race_journal::Now(), {QString(30, QChar('a' + i))});
            journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("abort")}, QStringLiteral("x"), Race_journal::Kind::Urgent);
            journal.Record_received(tomorrow.toMSecsSinceEpoch(), {QStringLiteral("next day")});
        }
        const QStringList lines = Masked_lines(Today_file(dir.path()));
        QCOMPARE(lines.filter(QStringLiteral("\tlimit\t")), QStringList{"T\tlimit\treceived lines are no longer recorded today: the journal has reached 0 MiB"});
        QCOMPARE(lines.mid(lines.indexOf(lines.filter(QStringLiteral("\tlimit\t")).value(0)) + 1),
                 (QStringList{"T\tsent\tabort\tx", "T\tsent\tabort\tx"}));
        QCOMPARE(File_bytes(dir.filePath("Velantra_journal_" + tomorrow.date().toString(Qt::ISODate) + ".txt")).count("next day"), 2);
    }

    void a_running_copy_keeps_its_journal_to_itself()
    {
        QTemporaryDir dir;
        Race_journal first(dir.path());
        first.Record(Race_journal::Now(), QStringLiteral("first"), {}, Race_journal::Kind::Urgent);
        QTRY_VERIFY(QFile::exists(Today_file(dir.path())));
        {
            Race_journal second(dir.path());
            second.Record(Race_journal::Now(), QStringLiteral("second"), {}, Race_journal::Kind::Urgent);
            QTRY_COMPARE(second.Path(), Today_file(dir.path(), QStringLiteral("_2")));
        }
        QTRY_COMPARE(Masked_lines(Today_file(dir.path())), QStringList{"T\tfirst"});
        QCOMPARE(Masked_lines(Today_file(dir.path(), QStringLiteral("_2"))), QStringList{"T\tsecond"});
    }

    void a_journal_that_cannot_be_written_says_so_once_and_goes_on_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("a FIFO in the way") << "fifo"; // must not hang the writer
        QTest::newRow("a folder in the way") << "folder";
        QTest::newRow("file-size limit") << "limit"; // cut mid-line
        QTest::newRow("full disk") << "full";
    }
    void a_journal_that_cannot_be_written_says_so_once_and_goes_on()
    {
        QFETCH(QString, fault);
        QTemporaryDir dir;
        std::optional<Small_tmpfs> disk;
        if (fault == QLatin1String("full") && !disk.emplace("size=64k").Mounted())
            QSKIP("no tmpfs may be mounted here (root only)");
        const QString folder = disk ? disk->Path() : dir.path();
        const QString path = Today_file(folder);
        if (fault == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (fault == QLatin1String("folder"))
            QVERIFY(QDir(folder).mkdir(QFileInfo(path).fileName()));
        std::optional<File_size_limit> limit;
        if (fault == QLatin1String("limit"))
            limit.emplace(40); // inside the second line
        if (disk)
            disk->Fill();
        std::atomic<int> said{0}; // told on the journal's thread
        QString text;
        {
            Race_journal journal(folder);
            connect(&journal, &Race_journal::Cannot_write, &journal, [&](const QString &why) {
                if (said.load() == 0)
                    text = why;
                ++said;
            }, Qt::DirectConnection);
            for (int i = 0; i < 3; ++i) {
                journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("start")}, Start, Race_journal::Kind::Urgent);
                QTest::qWait(30); // batches of their own
            }
            QTRY_COMPARE(said.load(), 1);
            // Room again: the gap is on record, and the next line starts on a line of its own.
            limit.reset();
            if (disk)
                QFile::remove(disk->Path() + QStringLiteral("/filler"));
            journal.Record(Race_journal::Now(), QStringLiteral("ended"));
        }
        QCOMPARE(said.load(), 1);
        QVERIFY2(text.startsWith(QStringLiteral("The race journal cannot be written: ")), qPrintable(text));
        if (fault == QLatin1String("limit") || fault == QLatin1String("full")) {
            const QStringList lines = Masked_lines(path);
            QCOMPARE(lines.mid(lines.size() - 2).join('|'), fault == QLatin1String("limit")
                ? QStringLiteral("T\tunwritten\t3 lines could not be written: cannot write: File too large|T\tended")
                : QStringLiteral("T\tunwritten\t3 lines could not be written: cannot write: No space left on device|T\tended"));
        }
    }

    void a_kill_right_after_a_start_leaves_it_on_disk()
    {
        QTemporaryDir dir;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--record-start"), dir.path()});
        QVERIFY(child.waitForReadyRead(10000));
        QThread::msleep(150); // inside the promise for Start and Abort, before the batch of the rest
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(Masked_lines(Today_file(dir.path())), QStringList{"T\tsent\tstart\tStart button\t14:03:22 Velantra Start"});
    }
};

// The child of the kill test: records a Start, says so, and waits to be killed.
int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--record-start") == 0) {
        Race_journal journal(QString::fromLocal8Bit(argv[2]));
        journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("start"), QStringLiteral("Start button")}, Start, Race_journal::Kind::Urgent);
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

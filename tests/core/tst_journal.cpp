// The race journal on its own: the lines as written (escaped, in order, a day a file,
// after a cut line), the day's limit, a second running copy, a disk that refuses the
// writes, and a kill right after a Start.
#include "journal/race_journal.h"
#include "shared/platform.h"
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
constexpr auto Urgent = Race_journal::Kind::Urgent;

} // namespace

class Tst_journal : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Platform::Keep_running_at_file_size_limit(); } // as the program does

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
    }

    void received_lines_stop_at_the_days_limit_sent_ones_do_not()
    {
        QTemporaryDir dir;
        const QDateTime tomorrow = QDateTime::currentDateTime().addDays(1);
        for (int run = 0; run < 2; ++run) { // a restart finds the day full, and says it no more
            Race_journal journal(dir.path(), {400, 1 << 20});
            for (int i = 0; i < 20; ++i)
                journal.Record_received(Race_journal::Now(), {QString(30, QChar('a' + i))});
            journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("abort")}, QStringLiteral("x"), Urgent);
            journal.Record_received(tomorrow.toMSecsSinceEpoch(), {QStringLiteral("next day")});
        }
        const QStringList lines = Masked_lines(Today_file(dir.path()));
        QCOMPARE(lines.filter(QStringLiteral("\tlimit\t")), QStringList{"T\tlimit\treceived lines are no longer recorded today: the journal has reached 0 MiB"});
        QCOMPARE(lines.mid(lines.indexOf(lines.filter(QStringLiteral("\tlimit\t")).value(0)) + 1),
                 (QStringList{"T\tsent\tabort\tx", "T\tsent\tabort\tx"}));
        QCOMPARE(File_bytes(dir.filePath("Velantra_journal_" + tomorrow.date().toString(Qt::ISODate) + ".txt")).count("next day"), 2);
    }

    void a_journal_that_cannot_be_written_says_so_once_and_goes_on_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("a FIFO in the way") << "fifo"; // must not hang the writer
        QTest::newRow("file-size limit") << "File too large"; // cut mid-line
        QTest::newRow("full disk") << "No space left on device";
    }
    void a_journal_that_cannot_be_written_says_so_once_and_goes_on()
    {
        QFETCH(QString, fault);
        QTemporaryDir dir;
        std::optional<Small_tmpfs> disk;
        if (fault.startsWith(QLatin1String("No space")) && !disk.emplace("size=64k").Mounted())
            QSKIP("no tmpfs may be mounted here (root only)");
        const QString path = Today_file(disk ? disk->Path() : dir.path());
        if (fault == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        std::optional<File_size_limit> limit;
        if (fault.startsWith(QLatin1String("File")))
            limit.emplace(40); // inside the first line
        if (disk)
            disk->Fill();
        std::atomic<int> said{0}; // told on the journal's thread
        QString text;
        {
            Race_journal journal(QFileInfo(path).path());
            connect(&journal, &Race_journal::Cannot_write, &journal, [&](const QString &why) {
                text = said.load() ? text : why;
                ++said;
            }, Qt::DirectConnection);
            for (int i = 0; i < 3; ++i, QTest::qWait(30)) // batches of their own
                journal.Record_message(Race_journal::Now(), QStringLiteral("sent"), {QStringLiteral("start")}, Start, Urgent);
            QTRY_COMPARE(said.load(), 1);
            // Room again: the gap is on record, and the next line starts on a line of its own.
            limit.reset();
            if (disk)
                QFile::remove(disk->Path() + QStringLiteral("/filler"));
            journal.Record(Race_journal::Now(), QStringLiteral("ended"));
        }
        QCOMPARE(said.load(), 1);
        QVERIFY2(text.startsWith(QStringLiteral("The race journal cannot be written: ") + path + QStringLiteral(": ")), qPrintable(text));
        if (fault == QLatin1String("fifo"))
            return; // never read: a FIFO would hold the reader
        const QStringList lines = Masked_lines(path);
        QCOMPARE(lines.mid(lines.size() - 2), (QStringList{"T\tunwritten\t3 lines could not be written: cannot write: " + fault, "T\tended"}));
    }

    void a_kill_right_after_a_start_leaves_it_on_disk_and_a_running_copys_journal_untouched()
    {
        QTemporaryDir dir;
        QProcess copy;
        copy.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--record-start"), dir.path()});
        QVERIFY(copy.waitForReadyRead(10000));
        // On the disk by itself: the copy never ends, so no exit writes it.
        QTRY_VERIFY(File_bytes(Today_file(dir.path())).contains("Velantra Start"));
        {
            Race_journal second(dir.path());
            second.Record(Race_journal::Now(), QStringLiteral("second"));
        }
        copy.kill();
        QVERIFY(copy.waitForFinished(10000));
        QCOMPARE(Masked_lines(Today_file(dir.path())), QStringList{"T\tsent\tstart\tStart button\t14:03:22 Velantra Start"});
        QCOMPARE(Masked_lines(Today_file(dir.path(), QStringLiteral("_2"))), QStringList{"T\tsecond"});
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

// The race journal's own window: what it says of a journal it cannot read, following
// the lines as they are written, the starts-and-aborts choice, a huge file cut, the
// desktop's viewer.
#include "core/journal/race_journal.h"
#include "desktop/journal/journal_window.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A journal line of 50 bytes with its CR LF; a start when n is odd, else a text.
QByteArray Line(int n, const char *event = "sent")
{
    const QLatin1String kind(n % 2 ? "start" : "text");
    return QStringLiteral("2026-05-01 10:00:00.000\t%1\t%2\t%3").arg(QLatin1String(event), kind)
               .arg(n, 22 - int(qstrlen(event)) - int(kind.size()), 10, QLatin1Char('0')).toUtf8() + "\r\n";
}

// The lines from to (not included) as the window shows them; only the starts when asked.
QString Shown_lines(int from, int to, bool starts = false)
{
    QStringList lines;
    for (int n = from; n < to; ++n)
        if (!starts || n % 2)
            lines << QString::fromUtf8(Line(n).chopped(2));
    return lines.join(QLatin1Char('\n'));
}

bool Append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

QString Status(const Journal_window *w) { return Find<QLabel>(w, "Label_journal_status")->text(); }
QString Shown(const Journal_window *w) { return Find<QPlainTextEdit>(w, "Text_journal")->toPlainText(); }

} // namespace

class Tst_journal_window : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QWidget owner_;

    QString Today() const { return Race_journal::Day_path(dir_.path(), QDate::currentDate()); }

private slots:
    void cleanup()
    {
        qDeleteAll(owner_.findChildren<Journal_window *>(QString(), Qt::FindDirectChildrenOnly));
        QFile::remove(Today());
    }

    void says_why_it_cannot_read_and_opens_the_viewer_where_there_is_one()
    {
        Url_recorder viewer;
        QVERIFY(Status(new Journal_window(QString(), {}, &owner_)).contains(QLatin1String("data folder is not known")));
        auto *no_folder = new Journal_window(dir_.filePath(QStringLiteral("gone")), {}, &owner_);
        QVERIFY2(Status(no_folder).contains(QLatin1String("does not exist")), qPrintable(Status(no_folder)));
        QVERIFY(!Find<QPushButton>(no_folder, "Command_open_viewer")->isEnabled());
        Journal_window window(dir_.path(), {}, &owner_);
        QVERIFY2(Status(&window).startsWith(QLatin1String("No journal yet today")), qPrintable(Status(&window)));
        // Something else where the file should be is refused at once (a FIFO with no writer would hang a read).
        QVERIFY(::mkfifo(QFile::encodeName(Today()).constData(), 0600) == 0);
        window.Check_now();
        QVERIFY2(Status(&window).contains(QLatin1String("not a regular file")), qPrintable(Status(&window)));
        QVERIFY(QFile::remove(Today()) && Append(Today(), Line(1)));
        if (::geteuid() != 0) { // root reads anything
            QVERIFY(QFile::setPermissions(Today(), QFileDevice::WriteOwner));
            window.Check_now();
            QVERIFY2(Status(&window).contains(QLatin1String("permission denied")), qPrintable(Status(&window)));
            QVERIFY(QFile::setPermissions(Today(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        }
        window.Check_now(); // readable again: shown
        QCOMPARE(Shown(&window), Shown_lines(1, 2));
        auto *open = Find<QPushButton>(&window, "Command_open_viewer");
        open->click();
        QCOMPARE(viewer.opened, QList<QUrl>{QUrl::fromLocalFile(Today())});
        viewer.takes = false;
        open->click();
        QVERIFY(Find<QLabel>(&window, "Label_viewer")->text().startsWith(QLatin1String("No viewer")));
    }

    void follows_lines_as_written_and_a_new_file()
    {
        QString path = Today();
        QVERIFY(Append(path, Line(0) + Line(1)));
        Journal_window *window = Journal_window::Show_for(&owner_, dir_.path(), [&] { return path; });
        QCOMPARE(Shown(window), Shown_lines(0, 2));
        // A line still being written waits for its end; the watcher (or the timer) tells.
        QVERIFY(Append(path, Line(2) + Line(3).left(30)));
        QTRY_COMPARE(Shown(window), Shown_lines(0, 3));
        QVERIFY(Append(path, Line(3).mid(30)));
        window->Check_now();
        QCOMPARE(Shown(window), Shown_lines(0, 4));
        // Cut and written anew: read again from its start. A new day: the new file.
        QVERIFY(Write_file(path, Line(5)));
        window->Check_now();
        QCOMPARE(Shown(window), Shown_lines(5, 6));
        path = dir_.filePath(QStringLiteral("next.txt"));
        QVERIFY(Write_file(path, Line(7)));
        window->Check_now();
        QCOMPARE(Shown(window), Shown_lines(7, 8));
    }

    void starts_and_aborts_alone_and_a_huge_file_cut_to_its_last_whole_lines()
    {
        QByteArray file = Line(1, "unsent") + Line(2, "heat") + Line(3, "received") + Line(5, "unacknowledged");
        QCOMPARE(Journal_window::Is_start_or_abort(QString::fromUtf8(Line(1, "unsent"))), true);
        QCOMPARE(Journal_window::Is_start_or_abort(QString::fromUtf8(Line(3, "received"))), false);
        QCOMPARE(Journal_window::Is_start_or_abort(QStringLiteral("t\tsent\tabort\tkeyboard\tAbort")), true);
        for (int n = 0; n < 200; ++n)
            file += Line(n);
        QVERIFY(Write_file(Today(), file)); // 10,200 bytes, 1,000 held
        Journal_window window(dir_.path(), {}, &owner_, 1000);
        QCOMPARE(Shown(&window), Shown_lines(180, 200));
        QVERIFY2(Status(&window).contains(QLatin1String("the last")), qPrintable(Status(&window)));
        auto *only = Find<QCheckBox>(&window, "Check_starts_only");
        only->setChecked(true);
        QCOMPARE(Shown(&window), Shown_lines(180, 200, true));
        QByteArray more;
        for (int n = 200; n < 205; ++n)
            more += Line(n);
        QVERIFY(Append(Today(), more));
        window.Check_now(); // held as before: the oldest went, from the window too
        QCOMPARE(Shown(&window), Shown_lines(185, 205, true));
        for (int n = 205; n < 2000; ++n) // more at once than is held
            more += Line(n);
        QVERIFY(Append(Today(), more.mid(5 * 50)));
        window.Check_now();
        QCOMPARE(Shown(&window), Shown_lines(1980, 2000, true));
        only->setChecked(false);
        QCOMPARE(Shown(&window), Shown_lines(1980, 2000));
        // A line too long to lay out is cut for the window.
        QVERIFY(Append(Today(), "2026-05-01\treceived\t" + QByteArray(4000, 'x') + "\r\n"));
        QVERIFY(Shown(new Journal_window(dir_.path(), {}, &owner_)).endsWith(QLatin1String("x ... (2020 more characters)")));
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_journal_window)
#include "tst_journal_window.moc"

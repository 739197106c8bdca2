// The race journal's own window: what it says of a journal it cannot read, following
// the lines as they are written, the starts-and-aborts choice, a huge file cut, the
// desktop's viewer, and the window the main window's menu opens.
#include "core/journal/race_journal.h"
#include "core/shared/platform.h"
#include "desktop/journal/journal_window.h"
#include "desktop/main_window/form_remotestart.h"
#include "desktop/shared/forms.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Url_recorder final : Url_handler
{
    bool Open(const QUrl &url) override
    {
        urls << url;
        return takes;
    }
    QList<QUrl> urls;
    bool takes = true;
    Scoped_facility<Url_handler> use{*this};
};

// A journal line of 50 bytes with its CR LF: event, kind and a number.
QByteArray Line(const char *event, const char *kind, int n)
{
    return QStringLiteral("2026-05-01 10:00:00.000\t%1\t%2\t%3").arg(QLatin1String(event), QLatin1String(kind))
               .arg(n, 50 - 28 - int(qstrlen(event)) - int(qstrlen(kind)), 10, QLatin1Char('0'))
               .toUtf8() + "\r\n";
}

bool Append(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

} // namespace

class Tst_journal_window : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QWidget owner_;

    QString Today() const { return Race_journal::Day_path(dir_.path(), QDate::currentDate()); }
    static QString Status(const Journal_window *w) { return Find<QLabel>(w, "Label_journal_status")->text(); }
    static QString Shown(const Journal_window *w) { return Find<QPlainTextEdit>(w, "Text_journal")->toPlainText(); }

private slots:
    void cleanup() { qDeleteAll(owner_.findChildren<Journal_window *>(QString(), Qt::FindDirectChildrenOnly)); }

    void a_journal_that_cannot_be_read_says_why()
    {
        Url_recorder viewer;
        Journal_window unknown(QString(), {}, &owner_);
        QVERIFY2(Status(&unknown).contains(QLatin1String("data folder is not known")), qPrintable(Status(&unknown)));
        Journal_window no_folder(dir_.filePath(QStringLiteral("gone")), {}, &owner_);
        QVERIFY2(Status(&no_folder).contains(QLatin1String("does not exist")), qPrintable(Status(&no_folder)));
        QVERIFY(!Find<QPushButton>(&no_folder, "Command_open_viewer")->isEnabled());

        // None yet today; once written it is shown.
        Journal_window window(dir_.path(), {}, &owner_);
        QVERIFY2(Status(&window).startsWith(QLatin1String("No journal yet today")), qPrintable(Status(&window)));
        QVERIFY(Append(Today(), Line("started", "x", 1)));
        window.Check_now();
        QCOMPARE(Shown(&window), QString::fromUtf8(Line("started", "x", 1).chopped(2)));
        QVERIFY(Status(&window).contains(QLatin1String("read-only")));

        // Something else where the file should be: refused at once, never waited on (a FIFO has no writer).
        QVERIFY(QFile::remove(Today()));
        QVERIFY(::mkfifo(QFile::encodeName(Today()).constData(), 0600) == 0);
        window.Check_now();
        QVERIFY2(Status(&window).contains(QLatin1String("not a regular file")), qPrintable(Status(&window)));
        QVERIFY(QFile::remove(Today()));
        if (::geteuid() != 0) { // root reads anything
            QVERIFY(Append(Today(), Line("started", "x", 2)));
            QVERIFY(QFile::setPermissions(Today(), QFileDevice::WriteOwner));
            window.Check_now();
            QVERIFY2(Status(&window).contains(QLatin1String("permission denied")), qPrintable(Status(&window)));
            QVERIFY(!Find<QPushButton>(&window, "Command_open_viewer")->isEnabled());
        }
        QVERIFY(viewer.urls.isEmpty());
    }

    void follows_lines_as_written_and_a_new_file()
    {
        QString path = Today();
        QVERIFY(Append(path, Line("started", "x", 1) + Line("heat", "7", 2)));
        Journal_window *window = Journal_window::Show_for(&owner_, dir_.path(), [&] { return path; });
        QCOMPARE(Shown(window).split(QLatin1Char('\n')).size(), 2);
        // A line still being written waits for its end; the watcher (or the timer) tells.
        QVERIFY(Append(path, Line("sent", "start", 3) + "2026-05-01 10:00:01.000\tsent\ttext\thalf"));
        QTRY_VERIFY(Shown(window).endsWith(QString::fromUtf8(Line("sent", "start", 3).chopped(2))));
        QVERIFY(Append(path, " done\r\n"));
        window->Check_now();
        QVERIFY(Shown(window).endsWith(QLatin1String("\thalf done")));
        QCOMPARE(Journal_window::Show_for(&owner_, dir_.path(), {}), window); // one window
        // Cut and written anew: read again from its start. A new day: the new file.
        QVERIFY(Write_file(path, Line("started", "y", 4)));
        window->Check_now();
        QCOMPARE(Shown(window), QString::fromUtf8(Line("started", "y", 4).chopped(2)));
        path = dir_.filePath(QStringLiteral("next.txt"));
        QVERIFY(Write_file(path, Line("started", "z", 5)));
        window->Check_now();
        QCOMPARE(Shown(window), QString::fromUtf8(Line("started", "z", 5).chopped(2)));
    }

    void starts_and_aborts_alone()
    {
        const QByteArray all = Line("sent", "start", 1) + Line("sent", "text", 2) + Line("unsent", "abort", 3)
                               + Line("heat", "start", 4) + Line("received", "abort", 5) + Line("unacknowledged", "start", 6);
        QVERIFY(Write_file(Today(), all));
        Journal_window window(dir_.path(), {}, &owner_);
        auto *only = Find<QCheckBox>(&window, "Check_starts_only");
        only->setChecked(true);
        const auto expect = [](std::initializer_list<QByteArray> lines) {
            QStringList texts;
            for (const QByteArray &line : lines)
                texts << QString::fromUtf8(line.chopped(2));
            return texts.join(QLatin1Char('\n'));
        };
        QCOMPARE(Shown(&window), expect({Line("sent", "start", 1), Line("unsent", "abort", 3), Line("unacknowledged", "start", 6)}));
        QVERIFY(Append(Today(), Line("sent", "text", 7) + Line("sent", "abort", 8)));
        window.Check_now();
        QCOMPARE(Shown(&window), expect({Line("sent", "start", 1), Line("unsent", "abort", 3), Line("unacknowledged", "start", 6),
                                         Line("sent", "abort", 8)}));
        only->setChecked(false);
        QCOMPARE(Shown(&window), QString::fromUtf8(all + Line("sent", "text", 7) + Line("sent", "abort", 8)).remove(QLatin1Char('\r')).chopped(1));
    }

    void a_huge_file_is_cut_to_its_last_whole_lines()
    {
        QByteArray file;
        for (int i = 0; i < 200; ++i)
            file += Line("sent", i % 2 ? "start" : "text", i);
        QVERIFY(Write_file(Today(), file)); // 10,000 bytes, 1,000 shown
        const auto last = [](int from, int to) {
            QStringList lines;
            for (int i = from; i < to; ++i)
                lines << QString::fromUtf8(Line("sent", i % 2 ? "start" : "text", i).chopped(2));
            return lines.join(QLatin1Char('\n'));
        };
        Journal_window window(dir_.path(), {}, &owner_, 1000);
        QCOMPARE(Shown(&window), last(180, 200));
        QVERIFY2(Status(&window).contains(QLatin1String("the last")), qPrintable(Status(&window)));
        QByteArray more;
        for (int i = 200; i < 205; ++i)
            more += Line("sent", i % 2 ? "start" : "text", i);
        QVERIFY(Append(Today(), more));
        window.Check_now(); // held as before: the oldest went
        QCOMPARE(Shown(&window), last(185, 205));
        Find<QCheckBox>(&window, "Check_starts_only")->setChecked(true);
        QCOMPARE(Shown(&window).count(QLatin1Char('\n')), 9);
        more.clear();
        for (int i = 205; i < 2000; ++i) // more at once than is held, filtered
            more += Line("sent", i % 2 ? "start" : "text", i);
        QVERIFY(Append(Today(), more));
        window.Check_now();
        QCOMPARE(Shown(&window).split(QLatin1Char('\n')).first(), QString::fromUtf8(Line("sent", "start", 1981).chopped(2)));
        QCOMPARE(Shown(&window).count(QLatin1Char('\n')), 9);
    }

    void open_in_viewer_and_when_there_is_none()
    {
        QVERIFY(Write_file(Today(), Line("started", "x", 1)));
        Url_recorder viewer;
        Journal_window window(dir_.path(), {}, &owner_);
        auto *open = Find<QPushButton>(&window, "Command_open_viewer");
        open->click();
        QCOMPARE(viewer.urls, QList<QUrl>{QUrl::fromLocalFile(Today())});
        viewer.takes = false;
        open->click();
        QVERIFY(!Find<QLabel>(&window, "Label_viewer")->isHidden());
        QVERIFY(Find<QLabel>(&window, "Label_viewer")->text().startsWith(QLatin1String("No viewer")));
    }

    void race_journal_menu_opens_todays_journal_once()
    {
        Isolated_user_dirs dirs;
        Message_recorder boxes;
        Url_recorder viewer;
        QPointer<Form_remotestart> main = new Form_remotestart;
        main->Form_Load();
        QAction *item = Find<QAction>(main, "item_race_journal");
        item->trigger();
        item->trigger();
        const QList<Journal_window *> windows = main->findChildren<Journal_window *>();
        QCOMPARE(windows.size(), 1);
        QVERIFY(windows.first()->isVisible());
        QTRY_VERIFY(Shown(windows.first()).contains(QLatin1String("\tstarted\t")));
        QVERIFY(viewer.urls.isEmpty());
        qDeleteAll(Forms::Loaded_Forms());
        delete main.data();
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_journal_window)
#include "tst_journal_window.moc"

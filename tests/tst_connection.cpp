// The main window against a loopback server of the test's own, and once against the
// simulator program: from each control to the wire, the status, the keys and clicks
// that must (not) start, and what is shown of what the server sends.

#include "core/connection/connection_thread.h"
#include "core/connection/message_writer.h"
#include "core/connection/reconnect_schedule.h"
#include "core/connection/remote_connection.h"
#include "core/connection/socket_io.h"
#include "desktop/main_window/form_remotestart.h"
#include "desktop/main_window/start_button.h"
#include "desktop/message_log/display_lines.h"
#include "core/shared/desktop_notifications.h"
#include "core/shared/globals.h"
#include "core/shared/platform.h"
#include "core/shared/time_texts.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include <thread>

namespace {

// The beeps counted and the desktop's notifications recorded.
struct Alert_recorder final : System_beep, Desktop_notifications
{
    void Beep() override { ++beeps; }
    void Notify(const QString &summary, const QString &) override { notices << summary; }
    int beeps = 0;
    QStringList notices;
    Scoped_facility<System_beep> use_beep{*this};
    Scoped_facility<Desktop_notifications> use_notify{*this};
};

// The window wired to a loopback server, with message boxes, beeps and rings recorded.
struct Window_fixture
{
    Window_fixture()
    {
        network()->Set_remote_port(server.server.serverPort());
        Text_host->setText(QStringLiteral("127.0.0.1"));
        form->show();
        (void)QTest::qWaitForWindowActive(form);
    }
    ~Window_fixture() { delete form.data(); } // before the recorders it reports to
    Connection_thread *network() const { return form->Network(); }
    bool Connect() { return QTest::mouseClick(Command_connect, Qt::LeftButton), server.Accepted(*network()); }
    bool Server_send(const QByteArray &block) { return server.Send(*network(), block); }
    QString Heat() const // as shown, and shown as plain text
    {
        auto *id = Find<QLabel>(form, "Label_active_heat"), *status = Find<QLabel>(form, "Label_heat_status");
        return id->textFormat() == Qt::PlainText && status->textFormat() == Qt::PlainText ? id->text() + '/' + status->text() : QString();
    }

    Isolated_user_dirs dirs;
    Message_recorder boxes;
    Alert_recorder alerts;
    Sound_recorder sound; // the ring tone
    QPointer<Form_remotestart> form = Loaded_main_window();
    // The window's controls, found by their names.
    QPushButton *const Command_abort = Find<QPushButton>(form, "Command_abort");
    QPushButton *const Command_connect = Find<QPushButton>(form, "Command_connect");
    QPushButton *const Command_send = Find<QPushButton>(form, "Command_send");
    QPushButton *const Command_start = Find<QPushButton>(form, "Command_start");
    QLabel *const Label_status = Find<QLabel>(form, "Label_status");
    QPlainTextEdit *const Text_from_goal = Find<QPlainTextEdit>(form, "Text_from_goal");
    QLineEdit *const Text_host = Find<QLineEdit>(form, "Text_host");
    QLineEdit *const Text_to_send = Find<QLineEdit>(form, "Text_to_send");
    Loopback_server server;
    QTcpSocket *&peer = server.peer;
};

// Shows a widget's events to a function as they reach it.
struct Event_watch : QObject
{
    std::function<void(QEvent *)> seen;
    bool eventFilter(QObject *, QEvent *event) override { return seen(event), false; }
};

// A point of the widget where none of its children lies.
QPoint Bare_point(QWidget *widget)
{
    const QRect inside = widget->contentsRect();
    for (int y = inside.top() + 2; y < inside.bottom(); y += 4)
        for (int x = inside.left() + 2; x < inside.right(); x += 4)
            if (!widget->childAt(x, y))
                return {x, y};
    return {};
}

} // namespace

class Tst_connection : public QObject
{
    Q_OBJECT
private slots:
    void offline_nothing_is_sent_and_the_log_boxes_refuse_typing()
    {
        Window_fixture f;
        auto *to_goal = Find<QPlainTextEdit>(f.form, "Text_to_goal");
        QTest::mouseClick(f.Text_to_send, Qt::RightButton); // the test message
        QStringList logged_at_box;
        f.boxes.while_open = [&](const Shown_message &) { QTest::qWait(50), logged_at_box << to_goal->toPlainText(); };
        for (QPushButton *button : {f.Command_send, f.Command_start, f.Command_abort})
            QTest::mouseClick(button, Qt::LeftButton);
        // The free text is logged all the same, once the box is dismissed.
        QCOMPARE(f.boxes.Texts(), QStringList(3, QStringLiteral("not Connected!")));
        QCOMPARE(logged_at_box.constFirst(), QString());
        QCOMPARE(to_goal->toPlainText().mid(8), QStringLiteral(" This is a test message from starter!\n")); // alone
        for (QPlainTextEdit *box : {to_goal, f.Text_from_goal}) {
            f.alerts.beeps = 0;
            const QString before = box->toPlainText();
            box->setFocus();
            QTest::keyClicks(box, QStringLiteral("ab1."));
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            for (Qt::Key key : {Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Down}) // moving is not typing
                QTest::keyClick(box, key);
            QCOMPARE(f.alerts.beeps, 7);
            QCOMPARE(box->toPlainText(), before);
        }
    }

    void a_click_on_a_frame_or_label_leaves_the_focus_and_return_and_ctrl_x_act_only_outside_text_boxes()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        QWidget *client = f.form->centralWidget();
        QTest::mouseClick(f.Text_to_send, Qt::LeftButton);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ready"));
        for (QWidget *control : client->findChildren<QWidget *>()) {
            if (!control->isVisibleTo(f.form) || !(qobject_cast<QGroupBox *>(control) || qobject_cast<QLabel *>(control)))
                continue;
            QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
            if (qobject_cast<QGroupBox *>(control)) {
                QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(12, 3)); // on the caption
                QTest::mouseClick(control, Qt::LeftButton, {}, Bare_point(control));
            }
            QVERIFY2(f.Text_to_send->hasFocus(), qPrintable(control->objectName()));
        }
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" set go")); // a Space on Start would start
        for (QLineEdit *box : {f.Text_host, f.Text_to_send}) { // in a text box, Return and Enter give no start
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
        }
        QTest::mouseClick(f.Command_send, Qt::LeftButton);
        QCOMPARE(Digits_masked(f.server.Read(21)), QStringLiteral("99:99:99 ready set go%")); // and nothing before it
        QVERIFY(f.Command_start->hasFocus()); // Send gives it back
        QTest::keyClick(f.Command_start, Qt::Key_Return); // presses the focused button (held keys: tst_x11_keys)
        QCOMPARE(Digits_masked(f.server.Read(24)), QStringLiteral("99:99:99 Velantra Start%"));
        f.Text_to_send->setFocus();
        QTest::mouseClick(client, Qt::LeftButton, {}, Bare_point(client)); // Form_Click
        QVERIFY(f.Command_start->hasFocus());
        // Ctrl+X cuts in a text box and ends the program elsewhere.
        for (QLineEdit *box : {f.Text_to_send, f.Text_host}) {
            box->setFocus();
            box->setText(QStringLiteral("ready"));
            box->selectAll();
            QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
            QVERIFY(box->text().isEmpty() && QGuiApplication::clipboard()->text() == QStringLiteral("ready"));
        }
        QVERIFY(!f.form->Exit_requested());
        f.Command_start->setFocus();
        QTest::keyClick(f.Command_start, Qt::Key_X, Qt::ControlModifier);
        QVERIFY(f.form->Exit_requested());
    }

    void the_status_tells_a_name_being_resolved_and_an_error_with_one_box_until_closed()
    {
        Window_fixture f;
        f.Text_host->setText(QStringLiteral("localhost"));
        QStringList shown; // what the label is given, in order, on the window's thread
        QObject::connect(f.network()->Connection(), &Remote_connection::Status_changed, f.form, [&](const QString &text) { shown << text; });
        QTest::mouseClick(f.Command_connect, Qt::LeftButton);
        QTRY_COMPARE(f.Label_status->text(), QStringLiteral("Connected"));
        const qsizetype resolving = shown.indexOf(QStringLiteral("Status : 4"));
        QVERIFY2(resolving >= 0 && resolving < shown.indexOf(QStringLiteral("Connected")), qPrintable(shown.join('|')));
        Find<QTimer>(f.form, "Timer1")->stop(); // which would read the state anew by itself
        f.Label_status->setText(QStringLiteral("Idle"));
        QTest::mouseClick(f.Label_status, Qt::LeftButton); // a click reads the state anew
        QTRY_COMPARE(f.Label_status->text(), QStringLiteral("Connected"));
        QVERIFY(f.server.Accept());

        // The state an error leaves is shown before its box opens; while it is open, a start
        // from another thread (the trigger's) goes, and twenty errors more are on record and
        // in the status bar, not boxes of their own. Once it is closed, Start works.
        QStringList status_at_box;
        int errors = 0;
        QObject::connect(f.network()->Connection(), &Remote_connection::Ended, f.form, [&] { ++errors; });
        f.boxes.while_open = [&](const Shown_message &) {
            QTest::qWait(50); // a box's own event loop
            status_at_box << f.Label_status->text();
            std::thread([&] { f.network()->Writer().Start({Message_source::Trigger, 0}); }).join();
            for (int i = 0; i < 20 && f.boxes.Messages().size() == 1; ++i) {
                const int before = errors;
                f.network()->Connect(QStringLiteral("127.0.0.1"));
                QTRY_VERIFY(errors > before);
            }
        };
        f.network()->Set_remote_port(Closed_port());
        QTest::mouseClick(f.Command_connect, Qt::LeftButton);
        QTRY_COMPARE(f.boxes.Suppressed().size(), 20); // the box opens on a later pass than the label's change
        const QString refused = QStringLiteral("winsock error! 10061 Connection refused");
        QCOMPARE(f.boxes.Texts(), QStringList{refused});
        QCOMPARE(status_at_box, QStringList{"Error"});
        QCOMPARE(Find<QLabel>(f.form, "Label_message")->text().mid(8), ", while a box was open: " + refused); // after the time
        QVERIFY(f.Label_status->toolTip().endsWith(refused));
        f.Label_status->setText(QStringLiteral("Idle"));
        QEvent activate(QEvent::WindowActivate); // Form_Activate reads the state and the clock anew
        const QString before = Time_Stamp().left(5);
        QCoreApplication::sendEvent(f.form, &activate);
        const QString clock = Find<QLabel>(f.form, "Label_PC_Time")->text(); // the minute may turn meanwhile
        QVERIFY2(clock == before || clock == Time_Stamp().left(5), qPrintable(clock));
        QTRY_COMPARE(f.Label_status->text(), QStringLiteral("Error"));
        f.network()->Set_remote_port(f.server.server.serverPort());
        QVERIFY(f.Connect());
        QTest::mouseClick(f.Command_start, Qt::LeftButton);
        QCOMPARE(Digits_masked(f.server.Read(24)), QStringLiteral("99:99:99 Velantra Start%"));
        QTest::mouseClick(Find<QPushButton>(f.form, "Command_disconnect"), Qt::LeftButton);
        QTRY_COMPARE(f.Label_status->text(), QStringLiteral("Closed"));
        QTRY_COMPARE(QString::fromUtf8(File_bytes(Todays_journal(f.dirs.Data_path()))).count("\tmessage\tnot shown\t" + refused + "\r\n"), 20);
        QCOMPARE(f.boxes.Messages().size(), 1); // the one error, nothing on closing
    }

    // What the window shows of an outage (each end's own handling is the starter's): the
    // status red, three beeps and a notification an outage, the heat greyed but shown.
    void a_loss_is_one_alarm_until_a_connection_works_and_reconnects_only_when_asked()
    {
        Window_fixture f;
        auto *heat = Find<QLabel>(f.form, "Label_active_heat");
        auto *schedule = f.form->findChild<Reconnect_schedule *>();
        schedule->Set_waits({20, 100, 600000}); // the program's 2 s and 10 s, shortened; working by a line only
        const auto alarm = [&] { return f.Label_status->autoFillBackground() && f.Label_status->palette().color(QPalette::Window) == QColor(255, 0, 0); };
        QVERIFY(f.Connect() && f.Server_send("Velantra Active Heat/3/Ready%"));
        QTRY_VERIFY(!alarm() && heat->isEnabled());
        Find<QAction>(f.form, "item_reconnect")->trigger(); // off unless asked for; saved
        const quint16 port = f.server.server.serverPort();
        f.server.server.close(); // the server gone, with its listener
        f.peer->close();
        QTRY_VERIFY(alarm() && f.alerts.beeps == 3);
        QVERIFY(f.alerts.notices.size() == 1 && !heat->isEnabled() && f.Heat() == "3/Ready");
        // Reconnecting: refused at once, then the server back: the same outage, still red, with
        // no more beeps, until a connection brings a line. (Connections that a server ends at
        // once, closed or reset, are the same outage: tst_reconnect, tst_remote_starter.)
        QTRY_COMPARE(f.Label_status->text(), QStringLiteral("Error"));
        QVERIFY(f.server.server.listen(QHostAddress::LocalHost, port));
        QVERIFY(f.server.Accepted(*f.network()));
        // Connected, not yet working.
        QVERIFY(alarm() && !heat->isEnabled() && f.alerts.beeps == 3 && f.alerts.notices.size() == 1);
        QVERIFY(f.Server_send("Velantra Active Heat/4/Ready%"));
        QTRY_VERIFY(!alarm() && heat->isEnabled());
        // Lost again: a new outage; the official's Disconnect ends it, and no attempt follows.
        f.peer->close();
        QTRY_VERIFY(alarm() && f.alerts.beeps == 6);
        QCOMPARE(f.alerts.notices, QStringList(2, QStringLiteral("Connection to the timing server lost")));
        QTest::mouseClick(Find<QPushButton>(f.form, "Command_disconnect"), Qt::LeftButton);
        QVERIFY(!alarm() && !schedule->Running() && f.boxes.Messages().isEmpty());

        delete f.form.data(); // the setting at the next start
        f.form = Loaded_main_window();
        QVERIFY(Find<QAction>(f.form, "item_reconnect")->isChecked());
    }

    // A click on Start sends one Start, told at the release that completes it and before
    // the button draws itself up; a press let go outside sends none.
    void start_goes_once_at_the_release_before_the_repaint_and_no_settings_write_holds_it_back()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        auto *start = qobject_cast<Start_button *>(f.Command_start);
        QVERIFY(start);
        QSignalSpy told(start, &Start_button::Click_completed);
        int sends = 0, sent_at_first_paint_up = -1;
        f.network()->Writer().Set_send([&](qintptr socket, const char *data, qint64 size, int &error) {
            ++sends;
            return Socket_io::Send(socket, data, size, error);
        });
        bool was_down = false;
        Event_watch paints;
        paints.seen = [&](QEvent *e) {
            if (e->type() == QEvent::Paint && was_down && !start->isDown() && sent_at_first_paint_up < 0)
                sent_at_first_paint_up = sends;
            if (e->type() == QEvent::Paint)
                was_down = start->isDown();
        };
        start->installEventFilter(&paints);
        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(told.size(), 1);
        QCOMPARE(sent_at_first_paint_up, 1);
        QTest::keyClick(start, Qt::Key_Return); // a key's click is told once, with clicked()
        QCOMPARE(told.size(), 2);
        QTest::mousePress(start, Qt::LeftButton);
        QTest::mouseRelease(start, Qt::LeftButton, {}, QPoint(-5, -5)); // let go outside
        QCOMPARE(told.size(), 2);
        QTest::mouseClick(f.Command_abort, Qt::LeftButton);
        QCOMPARE(Digits_masked(f.server.Read(72)),
                 QStringLiteral("99:99:99 Velantra Start%99:99:99 Velantra Start%99:99:99 Velantra Abort%"));

        // A settings write holds back no Start: only a change is written, off the window's
        // thread, so a write that hangs keeps nothing waiting; on a full disk the click that
        // moved the focus sends its Start before the failure's box opens.
        const auto edit_host = [&](const char *typed) {
            QTest::mouseClick(f.Text_host, Qt::LeftButton);
            f.Text_host->end(false);
            QTest::keyClicks(f.Text_host, QLatin1String(typed));
        };
        {
            Settings_store_stand_in hung(true);
            edit_host(""), QTest::keyClick(f.Text_host, Qt::Key_Tab); // unchanged
            edit_host("x");
            QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason); // another window's turn: no loss of focus
            QCoreApplication::sendEvent(f.Text_host, &away);
            QTest::mouseClick(f.Command_start, Qt::LeftButton);
            QCOMPARE(Digits_masked(f.server.Read(24)), QStringLiteral("99:99:99 Velantra Start%"));
            Find<QAction>(f.form, "item_reconnect")->trigger();
            QTRY_COMPARE(hung.Writes(), QStringList{"host_ip=127.0.0.1x"}); // the rest waits behind it
            hung.Let_go();
            QTRY_COMPARE(hung.Writes(), (QStringList{"host_ip=127.0.0.1x", "auto_reconnect=1"}));
        }
        QCOMPARE(File_bytes(Globals::Ini_file_path), QByteArray("[settings]\r\nhost_ip=127.0.0.1x\r\nauto_reconnect=1\r\n"));
        Small_tmpfs disk("size=64k,mode=0700");
        if (!disk.Mounted())
            QSKIP("no tmpfs may be mounted here (root only)");
        Globals::Ini_file_path = disk.Path() + QStringLiteral("/Velantra_remote.ini");
        disk.Fill();
        QSignalSpy failed(f.form->Settings(), &Settings_writer::Write_failed);
        QByteArray sent_at_box;
        f.boxes.while_open = [&](const Shown_message &) { sent_at_box = f.server.Read(24); };
        edit_host("y");
        QTest::mousePress(f.Command_start, Qt::LeftButton);
        QTRY_COMPARE(failed.size(), 1);
        QCoreApplication::sendPostedEvents(); // the failure told to the window while the button is down
        QCoreApplication::processEvents();
        QTest::mouseRelease(f.Command_start, Qt::LeftButton);
        QTRY_COMPARE(f.boxes.Messages().size(), 1);
        QVERIFY(f.boxes.Texts().constFirst().startsWith("Writing to INI file failed! Path = " + Globals::Ini_file_path + "\r\n Error = 28 "));
        QCOMPARE(Digits_masked(sent_at_box), QStringLiteral("99:99:99 Velantra Start%"));
    }

    void received_lines_heat_and_sounds_shown()
    {
        Window_fixture f;
        QVERIFY(f.Connect());
        f.Text_to_send->setFocus();
        for (int i = 0; i < 9; ++i)
            QVERIFY(f.Server_send(QByteArray::number(i) + '%'));
        // Markup is text, the box shows the last ten lines with the newest at the bottom,
        // the ring tone plays and the beep sounds.
        QVERIFY(f.Server_send("Velantra Active Heat/<b>4<br>/&lt;Go&gt;%x\xA4#%"));
        QTRY_COMPARE(f.Text_from_goal->toPlainText(), QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\nVelantra Active Heat/<b>4<br>/&lt;Go&gt;\nx\u00A4#\n"));
        QCOMPARE(f.Heat(), QStringLiteral("<b>4<br>/&lt;Go&gt;"));
        QCOMPARE(QStringLiteral("%1/%2").arg(f.sound.played.join(',')).arg(f.alerts.beeps), QStringLiteral("8922 0/1"));
        // linescroll moves up one line and leaves the focus be.
        QScrollBar *bar = f.Text_from_goal->verticalScrollBar();
        Find<QAction>(f.form, "item_linescroll")->trigger();
        QVERIFY(bar->value() == bar->maximum() - 2 && f.Text_to_send->hasFocus());

        // Long lines are shown shortened; the heat follows the last heat line.
        const QString long_line = QStringLiteral("x/9/Start ") + QString(60000, QLatin1Char('z'));
        f.peer->write(long_line.toLatin1() + '%' + long_line.toLatin1() + "%Velantra Active Heat/10/Go%");
        QTRY_COMPARE(f.Heat(), QStringLiteral("10/Go"));
        const QString shown = long_line.left(Max_shown_line) + QChar(0x2026) + QLatin1Char('\n');
        QVERIFY(f.Text_from_goal->toPlainText().endsWith(shown + shown + QStringLiteral("Velantra Active Heat/10/Go\n")));
        QVERIFY(f.boxes.Messages().isEmpty());
    }

    void a_start_through_the_simulator()
    {
        QProcess sim; // its object kills it if the test fails
        QString printed;
        const auto wait_for = [&](const char *pattern) {
            const QRegularExpression expected{QLatin1String(pattern)};
            (void)QTest::qWaitFor([&] { return expected.match(printed += QString::fromUtf8(sim.readAll())).hasMatch(); }, 5000);
            return expected.match(printed);
        };
        sim.setProcessChannelMode(QProcess::MergedChannels);
        sim.start(QStringLiteral(VELANTRA_TIMING_SIM), {"--port", "0", "--heat", "41"});
        const quint16 port = wait_for("Listening on 127\\.0\\.0\\.1:(\\d+)").captured(1).toUShort();
        QVERIFY2(port != 0, qPrintable(printed));
        Window_fixture f;
        f.network()->Set_remote_port(port);
        QTest::mouseClick(f.Command_connect, Qt::LeftButton);
        QTRY_COMPARE(f.Heat(), QStringLiteral("41/Ready"));
        QTest::mouseClick(f.Command_start, Qt::LeftButton);
        QTRY_COMPARE(f.Heat(), QStringLiteral("41/Start"));
        QVERIFY(wait_for("<- 127\\.0\\.0\\.1:\\d+: \\d\\d:\\d\\d:\\d\\d Velantra Start\n").hasMatch());
        sim.write("/next\nfinish line ready \xC2\xA4 #\n"); // typed at the goal
        QTRY_COMPARE(Lines_of(f.network()->Display().From_goal()).constLast(), QStringLiteral("finish line ready \u00A4 #"));
        QTest::mouseClick(f.Command_abort, Qt::LeftButton); // for the next heat
        QTRY_COMPARE(f.Heat(), QStringLiteral("42/Abort"));
        sim.write("/quit\n");
        QVERIFY(sim.waitForFinished(5000));
        QTRY_COMPARE(f.Label_status->text(), QStringLiteral("Closed"));
        QVERIFY(f.boxes.Messages().isEmpty());
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_connection)
#include "tst_connection.moc"

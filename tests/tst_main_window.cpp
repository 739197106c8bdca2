// The main window's start-up, menus, settings write, single instance and shutdown.
#include "desktop/error_report/dkn_error_form.h"
#include "desktop/main_window/form_remotestart.h"
#include "desktop/shared/forms.h"
#include "core/shared/globals.h"
#include "core/shared/platform.h"
#include "core/shared/single_instance.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

#include <stdexcept>

class Tst_main_window : public QObject
{
    Q_OBJECT

    std::unique_ptr<Isolated_user_dirs> dirs_;
    std::unique_ptr<Message_recorder> boxes_;
    QPointer<Form_remotestart> window_;

    Form_remotestart *Load_window()
    {
        window_ = new Form_remotestart;
        window_->Form_Load();
        return window_;
    }

private slots:
    void init()
    {
        dirs_ = std::make_unique<Isolated_user_dirs>();
        boxes_ = std::make_unique<Message_recorder>();
    }

    void cleanup()
    {
        qDeleteAll(Forms::Loaded_Forms());
        delete window_.data();
        boxes_.reset();
        dirs_.reset();
    }

    void start_up_with_the_stored_host_and_a_hidden_debug_menu()
    {
        QVERIFY(Write_file(dirs_->Data_path() + QStringLiteral("/Velantra_remote.ini"), "[settings]\r\nhost_ip=timing.local\r\n"));
        Form_remotestart *w = Load_window();
        QVERIFY(!w->Exit_requested() && boxes_->Messages().isEmpty());
        QCOMPARE(Find<QLineEdit>(w, "Text_host")->text(), QStringLiteral("timing.local"));
        // Each opening of Form with Ctrl held shows or hides it again.
        QAction *debug = Find<QMenu>(w, "menu_debug")->menuAction();
        Keyboard_stand_in keyboard;
        for (const auto &[held, shown] : {std::pair(false, false), std::pair(true, true), std::pair(true, false)}) {
            keyboard.ctrl_held = held;
            emit Find<QMenu>(w, "Menu_Form")->aboutToShow();
            QVERIFY(debug->isVisible() == shown);
        }
    }

    // The lock's own cases are tst_single_instance's; here, what a start makes of it.
    void lock_of_a_running_copy_refuses_and_a_crashed_one_is_taken_over()
    {
        QProcess client;
        client.start(QStringLiteral(VELANTRA_CLIENT_PATH), {"-platform", "offscreen"});
        const QString path = Instance_lock::Default_path();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > 0, 20000);
        QVERIFY(Load_window()->Exit_requested());
        QCOMPARE(boxes_->Texts(), QStringList{QStringLiteral("A previous instance of this program is already running!")});
        boxes_->Clear();
        client.kill(); // a crash: the lock file stays behind
        QVERIFY(client.waitForFinished());
        QVERIFY(QFile::exists(path) && !Load_window()->Exit_requested() && boxes_->Messages().isEmpty());
        QVERIFY(!Instance_lock().Try_acquire());
    }

    // X11 without detectable auto-repeat: a held key repeats as release and press pairs of
    // one time. A pair read while the key is down is no letting go; a pair read only after
    // it was let go is no second press. The letting go is taken at once.
    void a_held_key_clicks_once_also_when_its_repeat_is_read_late_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Space, clicks when let go") << int(Qt::Key_Space);
        QTest::newRow("Return, clicks when pressed") << int(Qt::Key_Return);
    }
    void a_held_key_clicks_once_also_when_its_repeat_is_read_late()
    {
        QFETCH(int, key);
        QPushButton *start = Find<QPushButton>(Load_window(), "Command_start");
        QSignalSpy clicks(start, &QPushButton::clicked);
        Keyboard_stand_in keyboard;
        const auto send = [&](QEvent::Type type, quint64 time) {
            QKeyEvent event(type, key, Qt::NoModifier, 65, 0, 0, key == Qt::Key_Space ? QStringLiteral(" ") : QStringLiteral("\r"));
            event.setTimestamp(time);
            QApplication::sendEvent(start, &event);
        };
        const int on_press = key == Qt::Key_Space ? 0 : 1;
        keyboard.key_held = true;
        send(QEvent::KeyPress, 1000);
        send(QEvent::KeyRelease, 1250), send(QEvent::KeyPress, 1250); // a repeat, read in time
        QCOMPARE(clicks.count(), on_press);
        keyboard.key_held = false;
        send(QEvent::KeyRelease, 1290); // a repeat's release read after the key went up
        QCOMPARE(clicks.count(), 1);
        send(QEvent::KeyPress, 1290), send(QEvent::KeyRelease, 1300); // its press, the real release
        QCOMPARE(clicks.count(), 1);
        send(QEvent::KeyPress, 2000), send(QEvent::KeyRelease, 2100); // the next press counts
        QCOMPARE(clicks.count(), 2);
        send(QEvent::KeyPress, 3000);
        keyboard.key_held = true; // a busy window reads the letting go after the next press
        send(QEvent::KeyRelease, 3100), send(QEvent::KeyPress, 3300);
        keyboard.key_held = false;
        send(QEvent::KeyRelease, 3400);
        QCOMPARE(clicks.count(), 4);
        // A release given to a window that a box blocked never comes: the key map, asked
        // when a box closes, lets the key go (unclicked) once it is up.
        send(QEvent::KeyPress, 4000);
        QEvent unblocked(QEvent::WindowUnblocked);
        for (const bool held : {true, false}) {
            keyboard.key_held = held;
            QApplication::sendEvent(start->window(), &unblocked);
        }
        QVERIFY(!start->isDown());
        send(QEvent::KeyPress, 5000), send(QEvent::KeyRelease, 5100);
        QCOMPARE(clicks.count(), 5 + on_press);
        keyboard.key_map = false; // nothing tells it is up: held through a box, its repeat presses nothing
        send(QEvent::KeyPress, 6000);
        QApplication::sendEvent(start->window(), &unblocked);
        send(QEvent::KeyPress, 6250);
        QCOMPARE(clicks.count(), 5 + 2 * on_press);
    }

    void file_size_limit_is_a_failed_write_not_the_end()
    {
        // Under ulimit -f the lock file cannot be written: the client says so and runs on.
        QProcess client;
        client.start(QStringLiteral("sh"), {"-c", "ulimit -f 0 && exec \"$0\" -platform offscreen", VELANTRA_CLIENT_PATH});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += client.readAllStandardError()).contains("starting without it"), 20000);
        QTest::qWait(300); // the rest of the start-up
        QCOMPARE(client.state(), QProcess::Running);
        client.kill();
        QVERIFY(client.waitForFinished());
    }

    void failure_at_start_up_reaches_the_error_window()
    {
        // A box that fails stands in for any failure among the start-up's steps.
        Instance_lock first;
        QVERIFY(first.Try_acquire());
        struct : Message_boxes {
            void Show(const Shown_message &) override { throw std::runtime_error("disk gone"); }
        } failing;
        {
            Scoped_facility<Message_boxes> use(failing);
            Load_window();
        }
        const DKN_error_form *report = DKN_error_form::Loaded_instance();
        QVERIFY(report && report->isVisible());
        QVERIFY2(QRegularExpression(QStringLiteral("^Location of error: Form_Load line: 0\r\nerror description: .*disk gone"))
                     .match(report->Report_text()).hasMatch(), qPrintable(report->Report_text()));
    }

    void exit_and_close_box_unload_every_window_data()
    {
        QTest::addColumn<bool>("by_menu");
        QTest::newRow("Form > Exit") << true;
        QTest::newRow("close box") << false;
    }

    void exit_and_close_box_unload_every_window()
    {
        QFETCH(bool, by_menu);
        Form_remotestart *w = Load_window();
        w->show();
        Loopback_server server; // which sees the connection close either way
        QVERIFY(server.Connect(*w->Network()));
        QPointer<QWidget> hidden = new QWidget; // as the hidden error window
        Forms::Register_Form(hidden);
        if (by_menu)
            Find<QAction>(w, "item_exit")->trigger();
        else
            QVERIFY(w->close());
        QCOMPARE(w->Exit_requested(), by_menu);
        QTRY_VERIFY(window_.isNull()); // deleted from the event loop, not under its own handler
        QTRY_VERIFY(hidden.isNull() && Forms::Loaded_Forms().isEmpty());
        QTRY_COMPARE(server.peer->state(), QAbstractSocket::UnconnectedState);
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_main_window)
#include "tst_main_window.moc"

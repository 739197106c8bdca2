// The main window's start-up, menus, settings write, single instance and shutdown; the
// windows from the keyboard, under a dark theme and to a screen reader.
#include "desktop/about/frm_about.h"
#include "desktop/error_report/dkn_error_form.h"
#include "desktop/journal/journal_window.h"
#include "desktop/main_window/form_remotestart.h"
#include "desktop/shared/forms.h"
#include "core/shared/single_instance.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

#include <stdexcept>

namespace {

QString Accessible(QWidget *w, QAccessible::Text what = QAccessible::Name)
{
    return QAccessible::queryAccessibleInterface(w)->text(what);
}

} // namespace

class Tst_main_window : public QObject
{
    Q_OBJECT

    std::unique_ptr<Isolated_user_dirs> dirs_;
    std::unique_ptr<Message_recorder> boxes_;
    QPointer<Form_remotestart> window_;

    Form_remotestart *Load_window() { return window_ = Loaded_main_window(); }

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

    void menus_open_from_the_keyboard()
    {
        Form_remotestart *w = Load_window();
        w->show(), w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        // Every menu and item has an underlined letter of its own within its menu.
        QList<QList<QAction *>> menus{w->menuBar()->actions()};
        for (const QMenu *menu : w->findChildren<QMenu *>())
            menus << menu->actions();
        for (const QList<QAction *> &actions : menus) {
            QStringList letters;
            for (const QAction *a : actions)
                if (!a->isSeparator())
                    letters << (a->text().contains(u'&') ? a->text().section(u'&', 1).left(1).toLower() : QString());
            QVERIFY2(!letters.contains(QString()) && letters.removeDuplicates() == 0, qPrintable(letters.join(u' ')));
        }
        auto *form = Find<QMenu>(w, "Menu_Form");
        for (const QKeyCombination key : {Qt::ALT | Qt::Key_F, QKeyCombination(Qt::Key_F10)}) {
            QTest::keyClick(w, key.key(), key.keyboardModifiers());
            QTRY_VERIFY(form->isVisible());
            QTest::keyClick(form, Qt::Key_Escape), QTest::keyClick(w->menuBar(), Qt::Key_Escape);
            QTRY_VERIFY(!form->isVisible());
        }
        // An item by its letter, from the menu opened by its own.
        QSignalSpy reconnect(Find<QAction>(w, "item_reconnect"), &QAction::triggered);
        QTest::keyClick(w, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(form->isVisible());
        QTest::keyClick(form, Qt::Key_A);
        QCOMPARE(reconnect.count(), 1);
        // Form > Race journal: one window of the program's own, today's journal in it.
        for (int i = 0; i < 2; ++i)
            Find<QAction>(w, "item_race_journal")->trigger();
        QCOMPARE(w->findChildren<Journal_window *>().size(), 1);
        QTRY_VERIFY(Find<QPlainTextEdit>(w, "Text_journal")->toPlainText().contains(QLatin1String("\tstarted\t")));
    }

    // The named colours stay on the light face they were chosen for, with the theme's
    // palette dark when the windows are made and when it changes while they are open.
    void windows_keep_their_light_face_under_a_dark_theme()
    {
        const QPalette saved = QApplication::palette();
        const auto dark = [](int grey) {
            QPalette p(QColor(230, 230, 230), QColor(grey, grey, grey));
            p.setColor(QPalette::Base, QColor(grey, grey, grey)), p.setColor(QPalette::Text, QColor(230, 230, 230));
            return p;
        };
        QApplication::setPalette(dark(50));
        const QList<QWidget *> windows{Load_window(), frmAbout::Default_instance(), DKN_error_form::Default_instance()};
        for (const int grey : {50, 30}) {
            QApplication::setPalette(dark(grey));
            for (QWidget *window : windows) {
                QList<QWidget *> widgets = window->findChildren<QWidget *>();
                for (QWidget *w : widgets << window) {
                    auto [text, back] = std::pair(QPalette::WindowText, QPalette::Window);
                    if (qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractScrollArea *>(w))
                        text = QPalette::Text, back = QPalette::Base;
                    else if (qobject_cast<QAbstractButton *>(w))
                        text = QPalette::ButtonText, back = QPalette::Button;
                    const QPalette p = w->palette();
                    if (!w->isEnabled() || w->testAttribute(Qt::WA_StyleSheet))
                        continue; // greyed on purpose, or a colour of its own behind it (the arm button)
                    QVERIFY2(p.color(back).lightnessF() >= 0.8 && p.color(back).lightnessF() - p.color(text).lightnessF() >= 0.4,
                             qPrintable(w->objectName() + QLatin1Char(' ') + p.color(text).name() + QLatin1Char('/') + p.color(back).name()));
                }
            }
        }
        delete windows.at(1);
        QApplication::setPalette(saved);
    }

    void every_control_is_named_apart_and_a_loss_is_told_from_a_close()
    {
        Form_remotestart *w = Load_window();
        QStringList names;
        QList<QWidget *> controls = w->centralWidget()->findChildren<QWidget *>();
        for (QWidget *control : controls << Find<QLabel>(w, "Label_message")) {
            auto *label = qobject_cast<QLabel *>(control);
            if (control->objectName().isEmpty() || control->objectName().startsWith(QLatin1String("qt_"))
                || qobject_cast<QGroupBox *>(control) || (label && label->buddy()))
                continue; // a piece of a control, a frame, or a caption tied to the control it names
            names << Accessible(control);
            QVERIFY2(!names.last().trimmed().isEmpty() && names.count(names.last()) == 1, qPrintable(control->objectName()));
        }
        QVERIFY(names.contains(QStringLiteral("Server adress")) && names.contains(QStringLiteral("Heat ID")));
        // "Closed" alone is also what a Disconnect shows, which sets no alarm (tst_remote_starter).
        auto *status = Find<QLabel>(w, "Label_status");
        Loopback_server server;
        QVERIFY(server.Connect(*w->Network()));
        server.peer->close();
        QTRY_VERIFY(Accessible(status, QAccessible::Description).contains(QLatin1String("lost")));
        QCOMPARE(Accessible(status), QStringLiteral("Connection status: ") + status->text());
    }

    // The lock's own cases are tst_single_instance's; here, what a start makes of it. A box
    // that fails there stands in for any failure among the start-up's steps.
    void lock_of_a_running_copy_refuses_and_a_crashed_one_is_taken_over()
    {
        QProcess client;
        client.start(QStringLiteral(VELANTRA_CLIENT_PATH), {"-platform", "offscreen"});
        const QString path = Instance_lock::Default_path();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() > 0, 20000);
        QVERIFY(Load_window()->Exit_requested());
        QCOMPARE(boxes_->Texts(), QStringList{QStringLiteral("A previous instance of this program is already running!")});
        boxes_->Clear();
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
        // Under ulimit -f neither the lock file nor the journal can be written: the client
        // says so of both (the journal's first line goes after the window is loaded) and runs on.
        QProcess client;
        client.start(QStringLiteral("sh"), {"-c", "ulimit -f 0 && exec \"$0\" -platform offscreen", VELANTRA_CLIENT_PATH});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += client.readAllStandardError()).contains("The race journal cannot be written"), 20000);
        QVERIFY(said.contains("starting without it"));
        QCOMPARE(client.state(), QProcess::Running);
        client.kill();
        QVERIFY(client.waitForFinished());
    }

    // Form > Exit and the close box.
    void exit_and_close_box_unload_every_window()
    {
        for (const bool by_menu : {true, false}) {
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
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_main_window)
#include "tst_main_window.moc"

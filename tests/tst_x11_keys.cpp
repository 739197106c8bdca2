// The keyboard against a real X server: the synthesized Shift press, the Ctrl query,
// and held keys pressing the main window's Start once, as a person holds them.

#include "desktop/main_window/form_remotestart.h"
#include "core/shared/keyboard.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {
Display *X_display() { return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display(); }

// The main window shown and active, a loopback server, and the machine as busy and the
// key repeat as the test row says; the repeat as a desktop's: after 250 ms, 25 a second.
struct Client
{
    Client()
    {
        QFETCH(int, busy);
        QFETCH(bool, detectable);
        ready = XAutoRepeatOn(display) && XkbSetAutoRepeatRate(display, XkbUseCoreKbd, 250, 40);
        XkbSetDetectableAutoRepeat(display, detectable, nullptr);
        window.Form_Load();
        window.show(), window.activateWindow();
        ready = ready && QTest::qWaitForWindowActive(&window);
        for (int i = 0; i < busy; ++i)
            load.emplace_back().start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
    }
    ~Client()
    {
        for (QProcess &process : load)
            process.kill(), process.waitForFinished();
        XkbSetDetectableAutoRepeat(display, False, nullptr);
    }
    bool Ready() const { return ready && QTest::qWaitFor([&] { return window.focusWidget() == Find<QPushButton>(&window, "Command_start"); }); }

    Display *display = X_display();
    bool ready = false;
    Isolated_user_dirs dirs;
    Form_remotestart window;
    Loopback_server server;
    std::list<QProcess> load; // killed when it goes
};
} // namespace

// Remembers the keys that reach it.
struct Key_sink : QWidget
{
    QStringList keys;
    void keyPressEvent(QKeyEvent *e) override { keys.append(QStringLiteral("press %1").arg(e->key(), 0, 16)); }
    void keyReleaseEvent(QKeyEvent *e) override { keys.append(QStringLiteral("release %1").arg(e->key(), 0, 16)); }
};

class Tst_x11_keys : public QObject
{
    Q_OBJECT

private slots:
    // The Shift press reaches the focused window and leaves nothing held; only a Ctrl key
    // held on the X server reads as Ctrl down; real Alt+F opens a menu.
    void shift_press_ctrl_query_and_a_menu_from_real_keys()
    {
        Key_sink window;
        window.show(), window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        Press_Shift_Key();
        QTRY_COMPARE(window.keys, (QStringList{QStringLiteral("press 1000020"), QStringLiteral("release 1000020")}));
        QVERIFY(!Ctrl_Key_Down());
        Display *display = X_display();
        for (const auto &[key, down] : {std::pair(XK_Control_L, true), std::pair(XK_Control_R, true),
                                        std::pair(XK_Shift_L, false), std::pair(XK_Alt_L, false)}) {
            const KeyCode code = XKeysymToKeycode(display, key);
            XTestFakeKeyEvent(display, code, True, CurrentTime); // held on the X server, as a keyboard does
            XSync(display, False);
            const bool held = Ctrl_Key_Down();
            XTestFakeKeyEvent(display, code, False, CurrentTime);
            XSync(display, False);
            QVERIFY2(held == down && !Ctrl_Key_Down(), XKeysymToString(key));
        }

        // Alt+F as a keyboard gives it: the main window's Form menu opens.
        Isolated_user_dirs dirs;
        Form_remotestart main;
        main.Form_Load();
        main.show(), main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        for (const auto &[key, down] : {std::pair(XK_Alt_L, True), std::pair(XK_f, True), std::pair(XK_f, False), std::pair(XK_Alt_L, False)})
            XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), down, CurrentTime);
        XSync(display, False);
        QTRY_VERIFY(Find<QMenu>(&main, "Menu_Form")->isVisible());
        Find<QMenu>(&main, "Menu_Form")->close();
    }

    void a_held_key_starts_once_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("busy"); // CPU-bound processes beside the client
        QTest::addColumn<bool>("detectable"); // repeats as presses only, no releases
        // A window that reads the release only after the next press: tst_main_window's stand-in.
        for (const auto &[name, key] : {std::pair("Return", XK_Return), std::pair("keypad Enter", XK_KP_Enter), std::pair("Space", XK_space)}) {
            QTest::addRow("%s", name) << key << 0 << false;
            QTest::addRow("%s, busy machine", name) << key << 2 << false;
            QTest::addRow("%s, detectable auto-repeat", name) << key << 0 << true;
        }
    }

    void a_held_key_starts_once()
    {
        QFETCH(int, key);
        Message_recorder boxes;
        Client client;
        QVERIFY(client.Ready() && client.server.Connect(*client.window.Network()));
        const KeyCode code = XKeysymToKeycode(client.display, KeySym(key));
        // Synced, so the server's times are as far apart as a person's, however busy it is.
        for (int press = 0; press < 2; ++press) { // the second press counts again
            XTestFakeKeyEvent(client.display, code, True, CurrentTime);
            XSync(client.display, False);
            QTest::qWait(press == 0 ? 1500 : 600); // both well past the repeat's start
            XTestFakeKeyEvent(client.display, code, False, CurrentTime);
            XSync(client.display, False);
            QTest::qWait(200);
        }
        QTest::mouseClick(Find<QPushButton>(&client.window, "Command_abort"), Qt::LeftButton); // the end
        QByteArray sent;
        QTRY_VERIFY_WITH_TIMEOUT((sent += client.server.peer->readAll()).endsWith("Abort%"), 10000);
        QCOMPARE(sent.count("Start%"), 2);
    }

    // Disconnected, a quick Return on Start opens "not Connected!", which blocks the
    // window before the key's release reaches it. Once the box is closed with the mouse
    // and the client connected, each Return on Start starts once.
    void a_return_after_a_box_starts_once_data()
    {
        QTest::addColumn<int>("busy");
        QTest::addColumn<bool>("detectable");
        for (const int busy : {0, 2})
            for (const bool detectable : {false, true})
                QTest::addRow("busy %d, detectable %d", busy, int(detectable)) << busy << detectable;
    }
    void a_return_after_a_box_starts_once()
    {
        Client client; // with the program's own boxes
        QVERIFY(client.Ready());
        Display *display = client.display;
        client.window.Network()->Set_remote_port(client.server.server.serverPort());
        auto *start = Find<QPushButton>(&client.window, "Command_start");
        const KeyCode key = XKeysymToKeycode(display, XK_Return);
        const auto x = [&](auto &&events) { events(), XSync(display, False); };
        const auto tap = [&] { x([&] { XTestFakeKeyEvent(display, key, True, 50), XTestFakeKeyEvent(display, key, False, CurrentTime); }); };
        const auto click = [&](const QWidget *control) {
            const QPoint at = control->mapToGlobal(control->rect().center());
            x([&] { XTestFakeMotionEvent(display, -1, at.x(), at.y(), CurrentTime), XTestFakeButtonEvent(display, 1, True, CurrentTime), XTestFakeButtonEvent(display, 1, False, CurrentTime); });
        };
        int closed = 0; // the box runs its own loop, inside the test's wait: closed from there, as a person would
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && box->windowHandle()->isExposed() && !box->property("clicked").toBool())
                box->setProperty("clicked", true), closed += box->text() == "not Connected!", click(box->button(QMessageBox::Ok));
        });
        closer.start(20);
        for (int i = 0; i < 20; ++i) {
            start->setFocus();
            QTRY_VERIFY(start->hasFocus() && client.window.isActiveWindow());
            tap();
            QTRY_VERIFY2(closed == i + 1 && !QApplication::activeModalWidget(), qPrintable(QString::number(i)));
            click(Find<QPushButton>(&client.window, "Command_connect"));
            QVERIFY(client.server.Accepted(*client.window.Network()) && QTest::qWaitFor([&] { return start->hasFocus(); }));
            tap();
            QByteArray sent;
            QTRY_VERIFY2_WITH_TIMEOUT((sent += client.server.peer->readAll()).contains("Start%"), qPrintable(QString::number(i)), 10000);
            click(Find<QPushButton>(&client.window, "Command_disconnect"));
            QTRY_COMPARE(client.server.peer->state(), QAbstractSocket::UnconnectedState);
            QCOMPARE((sent += client.server.peer->readAll()).count("Start%"), 1);
        }
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_x11_keys)
#include "tst_x11_keys.moc"

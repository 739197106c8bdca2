// The keyboard against a real X server: the synthesized Shift press, the Ctrl query,
// and held keys pressing the main window's Start once, as a person holds them.

#include "main_window/form_remotestart.h"
#include "shared/keyboard.h"
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
    void shift_press_reaches_the_focused_window()
    {
        Key_sink window;
        window.show(), window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        Press_Shift_Key();
        QTRY_COMPARE(window.keys, (QStringList{QStringLiteral("press 1000020"), QStringLiteral("release 1000020")}));
        QVERIFY(!Ctrl_Key_Down()); // nothing is left held
    }

    void ctrl_key_down()
    {
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
    }

    void a_held_key_starts_once_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("busy"); // CPU-bound processes beside the client
        QTest::addColumn<bool>("detectable"); // repeats as presses only, no releases
        QTest::addColumn<bool>("stalled"); // the window reads the release after the next press
        for (const auto &[name, key] : {std::pair("Return", XK_Return), std::pair("keypad Enter", XK_KP_Enter), std::pair("Space", XK_space)}) {
            QTest::addRow("%s", name) << key << 0 << false << false;
            QTest::addRow("%s, busy machine", name) << key << 2 << false << false;
            QTest::addRow("%s, detectable auto-repeat", name) << key << 0 << true << false;
            QTest::addRow("%s, window busy at the release", name) << key << 0 << false << true;
        }
    }

    void a_held_key_starts_once()
    {
        QFETCH(int, key);
        QFETCH(int, busy);
        QFETCH(bool, detectable);
        QFETCH(bool, stalled);
        Display *display = X_display();
        // The repeat of a desktop: after 250 ms, 25 a second.
        QVERIFY(XAutoRepeatOn(display) && XkbSetAutoRepeatRate(display, XkbUseCoreKbd, 250, 40));
        XkbSetDetectableAutoRepeat(display, detectable, nullptr);
        Isolated_user_dirs dirs;
        Message_recorder boxes;
        Form_remotestart window;
        window.Form_Load();
        window.show(), window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        Loopback_server server;
        QVERIFY(server.Connect(*window.Network()));
        QTRY_VERIFY(Find<QPushButton>(&window, "Command_start")->hasFocus());
        std::list<QProcess> load(busy);
        for (QProcess &process : load)
            process.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
        const KeyCode code = XKeysymToKeycode(display, KeySym(key));
        // Synced, so the server's times are as far apart as a person's, however busy it is.
        for (int press = 0; press < 2; ++press) { // the second press counts again
            XTestFakeKeyEvent(display, code, True, CurrentTime);
            XSync(display, False);
            QTest::qWait(press == 0 ? 1500 : 600); // both well past the repeat's start
            XTestFakeKeyEvent(display, code, False, CurrentTime);
            XSync(display, False);
            if (stalled && press == 0)
                QThread::msleep(200); // no event is read meanwhile
            else
                QTest::qWait(200);
        }
        for (QProcess &process : load)
            process.kill(), process.waitForFinished();
        XkbSetDetectableAutoRepeat(display, False, nullptr);
        QTest::mouseClick(Find<QPushButton>(&window, "Command_abort"), Qt::LeftButton); // the end
        QByteArray sent;
        QTRY_VERIFY_WITH_TIMEOUT((sent += server.peer->readAll()).endsWith("Abort%"), 10000);
        QCOMPARE(sent.count("Start%"), 2);
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_x11_keys)
#include "tst_x11_keys.moc"

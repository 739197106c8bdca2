// The synthesized Shift press and the Ctrl query against a real X server.

#include "shared/keyboard.h"
#include "support/window_test.h"

#include <QtTest>
#include <QtWidgets>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

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
        Display *display = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
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
};

VELANTRA_WINDOW_TEST_MAIN(Tst_x11_keys)
#include "tst_x11_keys.moc"

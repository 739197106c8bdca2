// The synthesized Shift press and the Ctrl query against a real X server.

#include "shared/non_dependant.h"

#include <QtTest>
#include <QtWidgets>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// Xlib names a few macros like Qt's event types.
#undef KeyPress
#undef KeyRelease

namespace {

// Remembers the keys that reach it.
class Key_sink : public QWidget
{
public:
    QStringList keys;

protected:
    void keyPressEvent(QKeyEvent *e) override { keys.append(QStringLiteral("press %1").arg(e->key(), 0, 16)); }
    void keyReleaseEvent(QKeyEvent *e) override { keys.append(QStringLiteral("release %1").arg(e->key(), 0, 16)); }
};

} // namespace

class Tst_x11_keys : public QObject
{
    Q_OBJECT

private slots:
    void shift_press_reaches_the_focused_window()
    {
        Key_sink window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        Press_Shift_Key();
        QTRY_COMPARE(window.keys, (QStringList{QStringLiteral("press 1000020"), QStringLiteral("release 1000020")}));
        QVERIFY(!Ctrl_Key_Down()); // nothing is left held
    }

    void ctrl_key_down_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("down");
        QTest::newRow("left Ctrl") << int(XK_Control_L) << true;
        QTest::newRow("right Ctrl") << int(XK_Control_R) << true;
        QTest::newRow("Shift alone") << int(XK_Shift_L) << false;
        QTest::newRow("Alt alone") << int(XK_Alt_L) << false;
    }

    void ctrl_key_down()
    {
        QFETCH(int, key);
        Display *display = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
        const KeyCode code = XKeysymToKeycode(display, KeySym(key));
        QVERIFY(!Ctrl_Key_Down());
        XTestFakeKeyEvent(display, code, True, CurrentTime); // held on the X server, as a keyboard does
        XSync(display, False);
        const bool held = Ctrl_Key_Down();
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
        QTEST(held, "down");
        QVERIFY(!Ctrl_Key_Down());
    }
};

QTEST_MAIN(Tst_x11_keys)
#include "tst_x11_keys.moc"

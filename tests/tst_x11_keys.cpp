// The synthesized Shift press and the Ctrl query against a real X server.

#include "shared/non_dependant.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QtTest>

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
    QList<QPair<QEvent::Type, int>> keys;

protected:
    void keyPressEvent(QKeyEvent *e) override { keys.append({e->type(), e->key()}); }
    void keyReleaseEvent(QKeyEvent *e) override { keys.append({e->type(), e->key()}); }
};

Display *X_display()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// Holds or lets go of a key on the X server itself, as a keyboard would.
void X_key(KeySym key, bool down)
{
    Display *display = X_display();
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), down ? True : False, CurrentTime);
    XSync(display, False);
}

} // namespace

class Tst_x11_keys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!X_display())
            QSKIP("not on an X server");
    }

    void shift_press_reaches_the_focused_window()
    {
        Key_sink window;
        window.setFocusPolicy(Qt::StrongFocus);
        window.resize(200, 100);
        window.show();
        window.activateWindow();
        window.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        Press_Shift_Key();
        using Key = QPair<QEvent::Type, int>;
        const QList<Key> expected{{QEvent::KeyPress, Qt::Key_Shift}, {QEvent::KeyRelease, Qt::Key_Shift}};
        QTRY_COMPARE(window.keys, expected);
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
        QVERIFY(!Ctrl_Key_Down());
        X_key(KeySym(key), true);
        const bool held = Ctrl_Key_Down();
        X_key(KeySym(key), false);
        QTEST(held, "down");
        QVERIFY(!Ctrl_Key_Down());
    }
};

QTEST_MAIN(Tst_x11_keys)
#include "tst_x11_keys.moc"

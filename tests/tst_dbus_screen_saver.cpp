// Keeping the screen on, for real on a private session bus (the test runs under
// dbus-run-session): stand-in desktop services record what the main window asks of
// them, at load and at unload, and which of them it asks first.

#include "desktop/main_window/form_remotestart.h"
#include "desktop/platform/freedesktop/dbus_screen_saver.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QAction>
#include <QLabel>
#include <QtDBus>
#include <QtTest>

namespace {

const QString Window_name = QStringLiteral("Velantra Remote Start");
const QString Reason = QStringLiteral("Starting races: the screen stays on");
const QString Request_path = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/velantra");

// The desktop's services as far as the client can tell: every call to any of them,
// logged as "interface.member arguments", answered as the desktop would. It answers
// on its own connection and thread, so the client's calls really cross the bus.
class Desktop final : public QDBusVirtualObject
{
public:
    Desktop()
    {
        bus_.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath);
        moveToThread(&thread_);
        thread_.start();
    }
    ~Desktop() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
        thread_.quit();
        thread_.wait();
    }
    bool Offer(const QString &service) { return bus_.registerService(service); }
    QStringList Calls() const
    {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

    bool handleMessage(const QDBusMessage &call, const QDBusConnection &connection) override
    {
        QStringList words{call.interface().section('.', -1) + '.' + call.member()};
        for (const QVariant &argument : call.arguments())
            words << (argument.canConvert<QDBusArgument>() ? qdbus_cast<QVariantMap>(argument).value("reason").toString()
                                                           : argument.toString());
        QMutexLocker lock(&mutex_);
        calls_ << words.join('|');
        if (call.member() != QLatin1String("Inhibit")) {
            calls_.last() += '|' + call.path();
            return connection.send(call.createReply());
        }
        if (call.interface() == QLatin1String("org.freedesktop.ScreenSaver"))
            return connection.send(call.createReply(uint(41)));
        return connection.send(call.createReply(QVariant::fromValue(QDBusObjectPath(Request_path))));
    }
    QString introspect(const QString &) const override { return {}; }

private:
    QThread thread_;
    QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"));
    mutable QMutex mutex_;
    QStringList calls_;
};

} // namespace

class Tst_dbus_screen_saver : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run it under dbus-run-session");
        QTest::failOnWarning(QRegularExpression(QStringLiteral("D-?Bus|ScreenSaver|portal"), QRegularExpression::CaseInsensitiveOption));
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv("XDG_SESSION_TYPE");
    }

    void the_first_service_that_answers_holds_until_unload()
    {
        Isolated_user_dirs dirs;
        Message_recorder boxes;

        // No service on the bus: the window loads and ends as ever. Outside Wayland (the
        // Shift press holds) it says nothing; on Wayland, where this window is on no
        // compositor (offscreen), the status label says so, not a box.
        QPointer<Form_remotestart> window;
        for (const bool wayland : {false, true}) {
            if (wayland)
                qputenv("WAYLAND_DISPLAY", "velantra-test-none");
            Dbus_screen_saver saver;
            Scoped_facility<Screen_saver> use(saver);
            window = Loaded_main_window();
            window->show();
            QTRY_VERIFY(!saver.Asking()); // every way refused, or none left to ask
            QCOMPARE(Find<QLabel>(window, "Label_status")->toolTip(), wayland ? Dbus_screen_saver::Not_held_text : QString());
            Find<QAction>(window, "item_exit")->trigger();
            QTRY_VERIFY(window.isNull());
        }
        qunsetenv("WAYLAND_DISPLAY");

        // The ScreenSaver alone: asked once, given back with its cookie (at the close box;
        // Form > Exit ends in the same deletion).
        Desktop desktop;
        QVERIFY(desktop.Offer(QStringLiteral("org.freedesktop.ScreenSaver")));
        window = Loaded_main_window();
        window->show();
        QTRY_COMPARE(desktop.Calls(), QStringList{"ScreenSaver.Inhibit|" + Window_name + "|" + Reason});
        QVERIFY(window->close());
        QTRY_VERIFY(window.isNull());
        QTRY_COMPARE(desktop.Calls().mid(1), QStringList{"ScreenSaver.UnInhibit|41|/org/freedesktop/ScreenSaver"});

        // With the portal there too, the portal alone: idle (8), released by closing its request.
        QVERIFY(desktop.Offer(QStringLiteral("org.freedesktop.portal.Desktop")));
        window = Loaded_main_window();
        window->show();
        QTRY_COMPARE(desktop.Calls().mid(2), QStringList{"Inhibit.Inhibit||8|" + Reason});
        QVERIFY(window->close());
        QTRY_VERIFY(window.isNull());
        QTRY_COMPARE(desktop.Calls().mid(3), QStringList{"Request.Close|" + Request_path});
        // Nothing more: a call of the test's own, on the same bus, comes after all of the client's.
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/end"), QStringLiteral("test.End"), QStringLiteral("End")));
        QCOMPARE(desktop.Calls().mid(4), QStringList{"End.End|/end"});
        QVERIFY(boxes.Messages().isEmpty());
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_dbus_screen_saver)
#include "tst_dbus_screen_saver.moc"

// The screen-saver inhibition, for real on a private session bus (the test runs
// under dbus-run-session): a stand-in desktop service records what the main
// window asks of it, at load and at both ways out.

#include "main_window/form_remotestart.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QAction>
#include <QMutex>
#include <QThread>
#include <QtDBus>
#include <QtTest>

namespace {

const QString Service = QStringLiteral("org.freedesktop.ScreenSaver");

// The desktop's screen saver as far as the client can tell. It answers on its own
// connection and thread, as a desktop would, so the client's calls really cross the bus.
class Screen_saver_stand_in : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList Calls() const
    {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        QMutexLocker lock(&mutex_);
        calls_ << QStringLiteral("Inhibit %1|%2 -> %3").arg(application, reason).arg(++last_cookie_);
        return last_cookie_;
    }
    void UnInhibit(uint cookie)
    {
        QMutexLocker lock(&mutex_);
        calls_ << QStringLiteral("UnInhibit %1").arg(cookie);
    }

private:
    mutable QMutex mutex_;
    QStringList calls_;
    uint last_cookie_ = 40;
};

} // namespace

class Tst_dbus_screen_saver : public QObject
{
    Q_OBJECT

private slots:
    void inhibits_while_the_window_is_loaded()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run it under dbus-run-session");
        Isolated_user_dirs dirs;
        Message_recorder boxes;
        QTest::failOnWarning(QRegularExpression(QStringLiteral("D-?Bus|ScreenSaver"), QRegularExpression::CaseInsensitiveOption));

        // No such service on the bus: the window loads and ends as ever, and says nothing.
        QPointer<Form_remotestart> window = new Form_remotestart;
        window->Form_Load();
        window->show();
        QVERIFY(!window->Exit_requested());
        QTest::qWait(200); // the refused request comes back meanwhile
        Find<QAction>(window, "item_exit")->trigger();
        QTRY_VERIFY(window.isNull());
        QVERIFY(boxes.Messages().isEmpty());

        Screen_saver_stand_in stand_in;
        QThread desktop;
        stand_in.moveToThread(&desktop);
        desktop.start();
        auto stop_desktop = qScopeGuard([&] { desktop.quit(), desktop.wait(); });
        QDBusConnection service_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"));
        QVERIFY(service_bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &stand_in, QDBusConnection::ExportAllSlots));
        QVERIFY(service_bus.registerService(Service));
        auto unregister = qScopeGuard([&] { service_bus.unregisterService(Service), QDBusConnection::disconnectFromBus(QStringLiteral("stand-in")); });

        // Once at load, then given back with its cookie at the close box (as at Form > Exit:
        // both end in the window's deletion).
        window = new Form_remotestart;
        window->Form_Load();
        window->show();
        QTRY_COMPARE(stand_in.Calls(), QStringList{QStringLiteral("Inhibit Velantra Remote Start|Starting races: the screen stays on -> 41")});
        QVERIFY(window->close());
        QTRY_VERIFY(window.isNull());
        QTRY_COMPARE(stand_in.Calls().mid(1), QStringList{QStringLiteral("UnInhibit 41")});
        QVERIFY(boxes.Messages().isEmpty());
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_dbus_screen_saver)
#include "tst_dbus_screen_saver.moc"

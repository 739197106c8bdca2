// Keeping the screen on, for real on a private session bus (the test runs under
// dbus-run-session): stand-in desktop services record what the main window asks of
// them, at load and at unload, and which of them it asks first.

#include "main_window/form_remotestart.h"
#include "shared/desktop/dbus_screen_saver.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QAction>
#include <QLabel>
#include <QMutex>
#include <QThread>
#include <QtDBus>
#include <QtTest>

namespace {

const QString Window_name = QStringLiteral("Velantra Remote Start");
const QString Reason = QStringLiteral("Starting races: the screen stays on");
const QString Request_path = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/velantra");

// What the desktop was asked, in order, from whichever service.
class Call_log
{
public:
    void Add(const QString &call)
    {
        QMutexLocker lock(&mutex_);
        calls_ << call;
    }
    QStringList Calls() const
    {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

private:
    mutable QMutex mutex_;
    QStringList calls_;
};

class Screen_saver_stand_in : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    explicit Screen_saver_stand_in(Call_log &log) : log_(log) {}
public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        log_.Add(QStringLiteral("ScreenSaver.Inhibit %1|%2 -> 41").arg(application, reason));
        return 41;
    }
    void UnInhibit(uint cookie) { log_.Add(QStringLiteral("ScreenSaver.UnInhibit %1").arg(cookie)); }

private:
    Call_log &log_;
};

class Portal_stand_in : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")
public:
    explicit Portal_stand_in(Call_log &log) : log_(log) {}
public slots:
    QDBusObjectPath Inhibit(const QString &window, uint flags, const QVariantMap &options)
    {
        log_.Add(QStringLiteral("portal.Inhibit %1|%2|%3").arg(window).arg(flags).arg(options.value("reason").toString()));
        return QDBusObjectPath(Request_path);
    }

private:
    Call_log &log_;
};

class Request_stand_in : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
    explicit Request_stand_in(Call_log &log) : log_(log) {}
public slots:
    void Close() { log_.Add(QStringLiteral("Request.Close")); }

private:
    Call_log &log_;
};

// The desktop: its services answer on their own connection and thread, as a desktop
// would, so the client's calls really cross the bus.
class Desktop
{
public:
    Desktop() : screen_saver_(log), portal_(log), request_(log)
    {
        for (QObject *service : {static_cast<QObject *>(&screen_saver_), static_cast<QObject *>(&portal_),
                                 static_cast<QObject *>(&request_)})
            service->moveToThread(&thread_);
        thread_.start();
    }
    ~Desktop()
    {
        for (const QString &name : std::as_const(names_))
            bus_.unregisterService(name);
        QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
        thread_.quit();
        thread_.wait();
    }
    bool Offer_screen_saver()
    {
        return bus_.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &screen_saver_, QDBusConnection::ExportAllSlots)
            && Offer(QStringLiteral("org.freedesktop.ScreenSaver"));
    }
    bool Offer_portal()
    {
        return bus_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal_, QDBusConnection::ExportAllSlots)
            && bus_.registerObject(Request_path, &request_, QDBusConnection::ExportAllSlots)
            && Offer(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    Call_log log;

private:
    bool Offer(const QString &name) { return bus_.registerService(name) && (names_ << name, true); }
    QThread thread_;
    Screen_saver_stand_in screen_saver_;
    Portal_stand_in portal_;
    Request_stand_in request_;
    QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"));
    QStringList names_;
};

// Loads the main window, waits for the desktop to have been asked, and closes it.
QPointer<Form_remotestart> Load_window()
{
    QPointer<Form_remotestart> window = new Form_remotestart;
    window->Form_Load();
    window->show();
    return window;
}

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

        // No service on the bus, outside Wayland (the Shift press holds): the window
        // loads and ends as ever, and says nothing.
        QPointer<Form_remotestart> window = Load_window();
        QTest::qWait(200); // the refused requests come back meanwhile
        QVERIFY(Find<QLabel>(window, "Label_status")->toolTip().isEmpty());
        Find<QAction>(window, "item_exit")->trigger();
        QTRY_VERIFY(window.isNull());

        // The ScreenSaver alone: asked once, given back with its cookie (at the close box;
        // Form > Exit ends in the same deletion).
        Desktop desktop;
        QVERIFY(desktop.Offer_screen_saver());
        window = Load_window();
        QTRY_COMPARE(desktop.log.Calls(), QStringList{"ScreenSaver.Inhibit " + Window_name + "|" + Reason + " -> 41"});
        QVERIFY(window->close());
        QTRY_VERIFY(window.isNull());
        QTRY_COMPARE(desktop.log.Calls().mid(1), QStringList{"ScreenSaver.UnInhibit 41"});

        // With the portal there too, the portal alone: idle (8), released by closing its request.
        QVERIFY(desktop.Offer_portal());
        window = Load_window();
        QTRY_COMPARE(desktop.log.Calls().mid(2), QStringList{"portal.Inhibit |8|" + Reason});
        QVERIFY(window->close());
        QTRY_VERIFY(window.isNull());
        QTRY_COMPARE(desktop.log.Calls().mid(3), QStringList{"Request.Close"});
        QTest::qWait(100);
        QCOMPARE(desktop.log.Calls().size(), 4);
        QVERIFY(boxes.Messages().isEmpty());
    }

    void on_wayland_with_nothing_to_hold_it_the_status_says_so()
    {
        Isolated_user_dirs dirs;
        Message_recorder boxes;
        // A Wayland session, but this window is not on a compositor (offscreen) and no
        // service answers: said on the status label, not in a box.
        qputenv("WAYLAND_DISPLAY", "velantra-test-none");
        QPointer<Form_remotestart> window = Load_window();
        QTRY_COMPARE(Find<QLabel>(window, "Label_status")->toolTip(), Dbus_screen_saver::Not_held_text);
        QVERIFY(boxes.Messages().isEmpty());
        QVERIFY(window->close());
        QTRY_VERIFY(window.isNull());
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_dbus_screen_saver)
#include "tst_dbus_screen_saver.moc"

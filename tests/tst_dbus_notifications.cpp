// A lost connection told to the desktop, for real on a private session bus (the test
// runs under dbus-run-session): a stand-in notification service records the calls.

#include "desktop/shared/loss_notice.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QWidget>
#include <QtDBus>
#include <QtTest>

class Notification_service : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls;
public slots:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        calls << QStringList{app, QString::number(replaces), icon, summary, body, actions.join(','),
                             hints.value("desktop-entry").toString(), QString::number(hints.value("urgency").toUInt()),
                             hints.value("urgency").typeName(), QString::number(timeout)}.join('|');
        return 7;
    }
};

class Tst_dbus_notifications : public QObject
{
    Q_OBJECT

private slots:
    void a_loss_is_a_notification_where_the_desktop_has_the_service()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run it under dbus-run-session");
        QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); // nothing said, service or none
        Set_application_identity();
        Message_recorder boxes;
        QWidget window;
        window.show();

        // No service on the bus: nothing to see, nothing said.
        Announce_loss_outside_window(&window);

        Notification_service desktop;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &desktop, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        Announce_loss_outside_window(&window);
        // The program's name and desktop entry (its icon), no actions, normal urgency as
        // a byte, the server's own display time.
        const QString entry = QStringLiteral("example.velantra.RemoteStart");
        QTRY_COMPARE(desktop.calls, QStringList{"Velantra Remote Start|0|" + entry + "|Connection to the timing server lost|||"
                                                + entry + "|1|uchar|-1"});
        QVERIFY(boxes.Messages().isEmpty());
        QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_dbus_notifications)
#include "tst_dbus_notifications.moc"

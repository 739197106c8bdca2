// A lost connection told to the desktop, for real on a private session bus (the test
// runs under dbus-run-session): a stand-in notification service records the calls.

#include "desktop/shared/loss_notice.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QMutex>
#include <QThread>
#include <QWidget>
#include <QtDBus>
#include <QtTest>

namespace {

// The desktop's notification service as far as the client can tell: each call logged as
// "member|argument|...", answered from a connection and thread of its own.
class Notification_service final : public QDBusVirtualObject
{
public:
    Notification_service()
    {
        bus_.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this);
        moveToThread(&thread_);
        thread_.start();
    }
    ~Notification_service() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
        thread_.quit();
        thread_.wait();
    }
    bool Offer() { return bus_.registerService(QStringLiteral("org.freedesktop.Notifications")); }
    QStringList Calls() const
    {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

    bool handleMessage(const QDBusMessage &call, const QDBusConnection &connection) override
    {
        QStringList words{call.interface() + '.' + call.member()};
        for (const QVariant &argument : call.arguments()) {
            if (!argument.canConvert<QDBusArgument>()) {
                words << argument.toString();
                continue;
            }
            const QDBusArgument inner = argument.value<QDBusArgument>();
            if (inner.currentSignature() == QLatin1String("as")) {
                words << qdbus_cast<QStringList>(inner).join(',');
            } else { // the hints
                const QVariantMap hints = qdbus_cast<QVariantMap>(inner);
                QStringList pairs;
                for (auto hint = hints.cbegin(); hint != hints.cend(); ++hint)
                    pairs << hint.key() + '=' + hint.value().typeName() + ':'
                                 + (hint.value().userType() == QMetaType::UChar ? QString::number(hint.value().toUInt())
                                                                                 : hint.value().toString());
                words << pairs.join(',');
            }
        }
        QMutexLocker lock(&mutex_);
        calls_ << words.join('|');
        return !call.isReplyRequired() || connection.send(call.createReply(uint(7)));
    }
    QString introspect(const QString &) const override { return {}; }

private:
    QThread thread_;
    QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stand-in"));
    mutable QMutex mutex_;
    QStringList calls_;
};

} // namespace

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

        // No service on the bus: nothing to see, nothing said, and the call does not wait.
        Announce_loss_outside_window(&window);

        Notification_service desktop;
        QVERIFY(desktop.Offer());
        Announce_loss_outside_window(&window);
        // The program's name, its desktop entry as icon and hint, the one line, no
        // actions, normal urgency (a byte), the server's own display time.
        const QString entry = QStringLiteral("example.velantra.RemoteStart");
        QTRY_COMPARE(desktop.Calls(),
                     QStringList{"org.freedesktop.Notifications.Notify|Velantra Remote Start|0|" + entry + '|'
                                 + Loss_notice_text + "|||desktop-entry=QString:" + entry + ",urgency=uchar:1|-1"});
        QCOMPARE(Loss_notice_text, QStringLiteral("Connection to the timing server lost"));
        QVERIFY(boxes.Messages().isEmpty());
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_dbus_notifications)
#include "tst_dbus_notifications.moc"

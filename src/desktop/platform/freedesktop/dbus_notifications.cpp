#include "desktop/platform/freedesktop/dbus_notifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>

void Dbus_notifications::Notify(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop entry gives the notice the program's name and icon where the server
    // looks them up; the icon is named too for servers that do not.
    const QString entry = QGuiApplication::desktopFileName();
    const QVariantMap hints{{QStringLiteral("desktop-entry"), entry},
                            {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}}; // normal
    call << QCoreApplication::applicationName() << uint(0) << entry << summary << body << QStringList() << hints
         << int(-1); // the server's own time on screen
    // Sent as a call that wants no answer: the notice's number is not needed, and where
    // no service is there the bus has nothing to say.
    bus.send(call);
}

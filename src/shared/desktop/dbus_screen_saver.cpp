#include "shared/desktop/dbus_screen_saver.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingReply>


namespace {

const QString Service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString Path = QStringLiteral("/org/freedesktop/ScreenSaver");

// A desktop that does not answer must never hold up the start-up or the exit for long.
constexpr int Inhibit_timeout_ms = 2000;
constexpr int Uninhibit_timeout_ms = 1000;

} // namespace

Dbus_screen_saver::~Dbus_screen_saver() { Uninhibit(); }

void Dbus_screen_saver::Inhibit(const QString &application, const QString &reason)
{
    if (request_)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Inhibit"));
    call << application << reason;
    // Not waited for: the cookie is needed only at the exit.
    request_ = bus.asyncCall(call, Inhibit_timeout_ms);
}

void Dbus_screen_saver::Uninhibit()
{
    if (!request_)
        return;
    QDBusPendingReply<uint> cookie = *request_;
    request_.reset();
    cookie.waitForFinished();
    if (!cookie.isValid())
        return; // no such service, or it refused: nothing to give back
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("UnInhibit"));
    call << cookie.value();
    // Waited for, so the call has left before the process ends.
    QDBusConnection::sessionBus().call(call, QDBus::Block, Uninhibit_timeout_ms);
}

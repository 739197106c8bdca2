#include "shared/screen_saver.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingReply>

#include <optional>

namespace {

const QString Service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString Path = QStringLiteral("/org/freedesktop/ScreenSaver");

// A desktop that does not answer must never hold up the start-up or the exit for long.
constexpr int Inhibit_timeout_ms = 2000;
constexpr int Uninhibit_timeout_ms = 1000;

class Dbus_screen_saver final : public Screen_saver_inhibitor
{
public:
    ~Dbus_screen_saver() override { Uninhibit(); }

    void Inhibit(const QString &application, const QString &reason) override
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

    void Uninhibit() override
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

private:
    std::optional<QDBusPendingCall> request_;
};

} // namespace

std::unique_ptr<Screen_saver_inhibitor> Make_Screen_saver_inhibitor()
{
    return std::make_unique<Dbus_screen_saver>();
}

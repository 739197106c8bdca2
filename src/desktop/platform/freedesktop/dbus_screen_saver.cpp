#include "desktop/platform/freedesktop/dbus_screen_saver.h"

#ifdef VELANTRA_HAVE_WAYLAND
#include "desktop/platform/freedesktop/wayland_idle_inhibitor.h"
#endif

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <cstdio>

#ifndef VELANTRA_HAVE_WAYLAND
class Wayland_idle_inhibitor
{
};
#endif

namespace {

const QString Portal_service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString Portal_path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString Portal_inhibit = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString Portal_request = QStringLiteral("org.freedesktop.portal.Request");
constexpr uint Portal_idle = 8;
const QString Saver_service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString Saver_path = QStringLiteral("/org/freedesktop/ScreenSaver");

// A desktop that does not answer must never hold up the start-up or the exit for long.
constexpr int Inhibit_timeout_ms = 2000;
constexpr int Uninhibit_timeout_ms = 1000;

bool Wayland_session()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

// Calls back once, at the next Show of the watched window.
class Show_watch final : public QObject
{
public:
    Show_watch(QObject *window, std::function<void()> shown) : shown_(std::move(shown)) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(this, shown_, Qt::QueuedConnection); // once the surface is there
        }
        return false;
    }

private:
    std::function<void()> shown_;
};

} // namespace

const QString Dbus_screen_saver::Not_held_text =
    QStringLiteral("Neither the desktop nor the compositor keeps the screen on: it may blank during a long wait.");

Dbus_screen_saver::Dbus_screen_saver() = default;

Dbus_screen_saver::~Dbus_screen_saver() { Uninhibit(); }

void Dbus_screen_saver::Inhibit(const QString &application, const QString &reason, QObject *window,
                                std::function<void(const QString &)> not_held)
{
    if (asking_ != Way::None || held_ != Way::None)
        return;
    application_ = application;
    reason_ = reason;
    window_ = window;
    not_held_ = std::move(not_held);
    Ask(Way::Portal);
}

void Dbus_screen_saver::Ask(Way way)
{
    asking_ = way;
    if (way == Way::Compositor) {
        // Later, from the event loop: the window is shown by then, or will say when.
        QMetaObject::invokeMethod(&context_, [this] { Ask_compositor(); }, Qt::QueuedConnection);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Ask(Way::Compositor);
        return;
    }
    QDBusMessage call;
    if (way == Way::Portal) {
        call = QDBusMessage::createMethodCall(Portal_service, Portal_path, Portal_inhibit, QStringLiteral("Inhibit"));
        call << QString() << Portal_idle << QVariantMap{{QStringLiteral("reason"), reason_}};
    } else {
        call = QDBusMessage::createMethodCall(Saver_service, Saver_path, Saver_service, QStringLiteral("Inhibit"));
        call << application_ << reason_;
    }
    pending_ = bus.asyncCall(call, Inhibit_timeout_ms);
    watcher_ = std::make_unique<QDBusPendingCallWatcher>(*pending_);
    QObject::connect(watcher_.get(), &QDBusPendingCallWatcher::finished, &context_, [this] {
        if (!Take_answer())
            Ask(asking_ == Way::Portal ? Way::Screen_saver : Way::Compositor);
    });
}

bool Dbus_screen_saver::Take_answer()
{
    if (!pending_)
        return false;
    QDBusPendingCall answer = *pending_;
    pending_.reset();
    if (watcher_)
        watcher_.release()->deleteLater(); // it is emitting now
    answer.waitForFinished();
    const QDBusMessage reply = answer.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false; // no such service, or it refused
    if (asking_ == Way::Portal) {
        request_ = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst());
        if (request_.path().isEmpty())
            return false;
    } else {
        cookie_ = reply.arguments().constFirst().toUInt();
    }
    held_ = asking_;
    asking_ = Way::None;
    return true;
}

void Dbus_screen_saver::Ask_compositor()
{
    if (asking_ != Way::Compositor)
        return; // given back meanwhile
    if (!Wayland_session()) {
        asking_ = Way::None; // on X11 the Shift press holds it
        return;
    }
#ifdef VELANTRA_HAVE_WAYLAND
    auto *widget = qobject_cast<QWidget *>(window_.data());
    if (widget && !widget->isVisible()) {
        show_watch_ = std::make_unique<Show_watch>(widget, [this] { Ask_compositor(); });
        return;
    }
    compositor_ = Wayland_idle_inhibitor::Create(widget ? widget->windowHandle() : nullptr);
    if (compositor_) {
        held_ = Way::Compositor;
        asking_ = Way::None;
        return;
    }
#endif
    asking_ = Way::None;
    Say_not_held();
}

void Dbus_screen_saver::Say_not_held()
{
    std::fprintf(stderr, "velantra-remote: %s\n", qPrintable(Not_held_text));
    if (not_held_)
        not_held_(Not_held_text);
}

void Dbus_screen_saver::Uninhibit()
{
    // An answer still on its way is waited for, so what it holds is given back too.
    watcher_.reset();
    if (pending_ && !Take_answer())
        held_ = Way::None;
    asking_ = Way::None;
    show_watch_.reset();
    not_held_ = nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Waited for, so the call has left before the process ends.
    if (held_ == Way::Portal) {
        bus.call(QDBusMessage::createMethodCall(Portal_service, request_.path(), Portal_request, QStringLiteral("Close")),
                 QDBus::Block, Uninhibit_timeout_ms);
    } else if (held_ == Way::Screen_saver) {
        QDBusMessage call = QDBusMessage::createMethodCall(Saver_service, Saver_path, Saver_service, QStringLiteral("UnInhibit"));
        call << cookie_;
        bus.call(call, QDBus::Block, Uninhibit_timeout_ms);
    }
    compositor_.reset();
    held_ = Way::None;
}

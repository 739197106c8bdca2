#include "desktop/main_window/one_press_keys.h"

#include "core/shared/facility.h"
#include "core/shared/keyboard.h"

#include <QApplicationStateChangeEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindow>

namespace {

// The window system makes a repeat's release and its press at one moment; no person
// lets a key go and presses it again within this many milliseconds.
constexpr quint64 Same_moment_ms = 5;

bool Same_moment(quint64 a, quint64 b)
{
    // 0: an event made by a program, without a time. It pairs with nothing.
    return a != 0 && b != 0 && (a > b ? a - b : b - a) <= Same_moment_ms;
}

bool Apart(quint64 a, quint64 b)
{
    return a != 0 && b != 0 && !Same_moment(a, b);
}

// Asked only where it matters: the key map is a round trip to the window system.
bool Key_down(quint32 scan_code)
{
    return Facility<Keyboard>::Get().Key_down(scan_code);
}

} // namespace

One_press_keys::One_press_keys(QObject *parent) : QObject(parent)
{
    qGuiApp->installEventFilter(this);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &One_press_keys::Recheck);
}

void One_press_keys::Recheck()
{
    // Without a key map (Wayland, Windows) nothing tells that a key is up: it stays
    // held, so its repeats press nothing, not even a box's OK.
    if (!Facility<Keyboard>::Get().Key_map_known())
        return;
    for (Key *key : {&space_, &return_, &enter_})
        if (key->held && !Key_down(key->scan_code))
            Release(*key, false);
}

void One_press_keys::Watch(QPushButton *button)
{
    buttons_.insert(button);
    connect(button, &QObject::destroyed, this, [this](QObject *gone) { buttons_.remove(gone); });
}

One_press_keys::Key *One_press_keys::Key_of(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space: return &space_;
    case Qt::Key_Return: return &return_;
    case Qt::Key_Enter: return &enter_;
    default: return nullptr;
    }
}

bool One_press_keys::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ApplicationStateChange: // releases go to another program, or went there
        if (!Facility<Keyboard>::Get().Key_map_known()
            && static_cast<QApplicationStateChangeEvent *>(event)->applicationState() != Qt::ApplicationActive) {
            for (Key *key : {&space_, &return_, &enter_}) // nothing to ask: what was held here is over
                Release(*key, false);
            return false;
        }
        Recheck();
        return false;
    case QEvent::WindowBlocked:   // a box opened: the window under it is given no key
    case QEvent::WindowUnblocked: // a box closed: a release may have gone to the window under it
        Recheck();
        return false;
    default:
        break;
    }
    if ((event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) || !watched->isWidgetType())
        return false;
    const auto *key_event = static_cast<QKeyEvent *>(event);
    Key *key = Key_of(key_event);
    if (!key)
        return false;
    QPushButton *button = buttons_.contains(watched) ? static_cast<QPushButton *>(watched) : nullptr;
    if (event->type() == QEvent::KeyPress)
        return Pressed(*key, key_event, button);
    return Released(*key, key_event, button != nullptr);
}

bool One_press_keys::Pressed(Key &key, const QKeyEvent *event, QPushButton *button)
{
    if (Same_moment(event->timestamp(), key.release_time)) {
        // A repeat's press queued behind its release, which came in after the key was let
        // go and counted as the letting go: the press was over before this came.
        key.release_time = 0;
        return true;
    }
    if (key.held && !event->isAutoRepeat() && Apart(event->timestamp(), key.doubtful_release)) {
        // The window was busy: the release it read late was the letting go, and this is a
        // new press. A person's second press must not be lost.
        Release(key);
    }
    key.doubtful_release = 0;
    // A held key presses nothing anywhere, also in a message box its press opened.
    if (key.held)
        return true;
    if (!button)
        return false;
    if (event->key() != Qt::Key_Space
        && (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    key.held = true;
    key.scan_code = event->nativeScanCode();
    if (event->isAutoRepeat())
        return true; // pressed before the focus came here
    if (event->key() == Qt::Key_Space) {
        // As a button does: down while held, clicked when let go.
        button->setDown(true);
        key.down = button;
    } else {
        Click(button);
    }
    return true;
}

bool One_press_keys::Released(Key &key, const QKeyEvent *event, bool on_button)
{
    if (!key.held) {
        // A key held since before the focus came to the button: its repeats press nothing.
        if (on_button && (event->isAutoRepeat() || Key_down(event->nativeScanCode()))) {
            key.held = true;
            key.scan_code = event->nativeScanCode();
        }
        return on_button;
    }
    if (event->isAutoRepeat())
        return on_button;
    if (Key_down(event->nativeScanCode())) {
        key.doubtful_release = event->timestamp(); // the next press tells which it was
        return on_button;
    }
    // The key is up: let go now. Taken at once, so a Space start waits for nothing.
    key.release_time = event->timestamp();
    Release(key);
    return on_button;
}

void One_press_keys::Release(Key &key, bool click)
{
    key.held = false;
    key.doubtful_release = 0;
    QPushButton *button = key.down;
    key.down = nullptr;
    // Moving the focus away in between lets the button up without a click, as Qt does.
    if (button && button->isDown()) {
        button->setDown(false);
        if (click)
            Click(button);
    }
}

void One_press_keys::Click(QPushButton *button)
{
    keyed_click_ = true;
    button->click();
    keyed_click_ = false;
}

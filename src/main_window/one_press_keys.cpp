#include "main_window/one_press_keys.h"

#include "shared/facility.h"
#include "shared/keyboard.h"

#include <QApplicationStateChangeEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>

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
bool Key_down(const QKeyEvent *event)
{
    return Facility<Keyboard>::Get().Key_down(event->nativeScanCode());
}

} // namespace

One_press_keys::One_press_keys(QObject *parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
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
    if (event->type() == QEvent::ApplicationStateChange
        && static_cast<QApplicationStateChangeEvent *>(event)->applicationState() != Qt::ApplicationActive) {
        // The releases go to another program now: what was held here is over.
        for (Key *key : {&space_, &return_, &enter_})
            Release(*key, false);
        return false;
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
        if (on_button && (event->isAutoRepeat() || Key_down(event)))
            key.held = true;
        return on_button;
    }
    if (event->isAutoRepeat())
        return on_button;
    if (Key_down(event)) {
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

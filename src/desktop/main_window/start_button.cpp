#include "desktop/main_window/start_button.h"

#include <QMouseEvent>
#include <QPointer>

#include <utility>

Start_button::Start_button(QWidget *parent) : QPushButton(parent)
{
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (!std::exchange(told_, false))
            emit Click_completed();
    });
}

void Start_button::mouseReleaseEvent(QMouseEvent *event)
{
    // The button's own test of a click: down (pressed inside, still inside) and released inside.
    if (event->button() == Qt::LeftButton && isEnabled() && isDown() && hitButton(event->position().toPoint())) {
        const QPointer<Start_button> self(this);
        told_ = true;
        emit Click_completed();
        if (!self)
            return;
    }
    QPushButton::mouseReleaseEvent(event);
    told_ = false; // a click the button did not make after all is not held against the next
}

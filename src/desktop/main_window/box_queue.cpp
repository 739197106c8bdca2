#include "desktop/main_window/box_queue.h"

#include "core/shared/failure.h"

#include <QGuiApplication>
#include <QTimer>

#include <utility>

namespace {
// A queued box waiting for a click in progress looks again this often; after
// Click_wait_ms it waits no longer (a release the window never saw must not hold it back).
constexpr int Retry_ms = 20;
constexpr int Click_wait_ms = 5000;
} // namespace

Box_queue::Box_queue(Not_shown not_shown, QObject *parent) : QObject(parent), not_shown_(std::move(not_shown))
{
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &Box_queue::Show_queued);
}

void Box_queue::Queue_box(const Shown_message &message, bool waits)
{
    queued_.append({message, waits});
    if (!timer_->isActive())
        timer_->start(0);
}

void Box_queue::Show_box(const Shown_message &message)
{
    if (!Show_Message(message))
        not_shown_(message);
}

void Box_queue::Show_queued()
{
    Guarded("Show_queued_boxes", [this] {
        // The click in progress does its work first.
        if (QGuiApplication::mouseButtons() != Qt::NoButton) {
            if (!click_wait_.isValid())
                click_wait_.start();
            if (!click_wait_.hasExpired(Click_wait_ms)) {
                timer_->start(Retry_ms);
                return;
            }
        }
        click_wait_.invalidate();
        // A box shown here runs its own loop, in which this runs again for what comes
        // meanwhile: that finds the box open, and only a waiting box stays queued.
        for (qsizetype i = 0; i < queued_.size();) {
            if (queued_.at(i).waits && Message_box_open())
                ++i;
            else
                Show_box(queued_.takeAt(i).message);
        }
        if (!queued_.isEmpty())
            timer_->start(Retry_ms);
    });
}

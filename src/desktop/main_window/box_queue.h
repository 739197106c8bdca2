#pragma once
// The main window's boxes that no click or key of the official opened (a lost connection,
// a failed settings write, a refused trigger start): shown from a queued call once no
// click is in progress, since a box opened during a click would take its release and
// the click (a Start) would be lost. One box at a time: a message that comes while a
// box is open goes to the not-shown handler, unless it waits for that box to close.

#include "core/shared/message_box.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include <functional>

class QTimer;

class Box_queue : public QObject
{
    Q_OBJECT
public:
    using Not_shown = std::function<void(const Shown_message &)>;
    Box_queue(Not_shown not_shown, QObject *parent);

    // waits: while another box is open it stays queued (the failed settings write).
    void Queue_box(const Shown_message &message, bool waits = false);
    // Shows the box now, or, while another is open, hands it to the not-shown handler.
    void Show_box(const Shown_message &message);

private:
    void Show_queued();

    struct Queued
    {
        Shown_message message;
        bool waits = false;
    };
    Not_shown not_shown_;
    QList<Queued> queued_;
    QTimer *timer_ = nullptr;
    QElapsedTimer click_wait_; // since a queued box began to wait for a click to end
};

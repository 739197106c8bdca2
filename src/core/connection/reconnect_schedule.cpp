#include "core/connection/reconnect_schedule.h"

#include <QTimer>

#include <algorithm>

Reconnect_schedule::Reconnect_schedule(QObject *parent) : QObject(parent)
{
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &Reconnect_schedule::Attempt);
    working_timer_ = new QTimer(this);
    working_timer_->setSingleShot(true);
    connect(working_timer_, &QTimer::timeout, this, [this] {
        wait_ms_ = 0; // it lasted: the next loss is tried again at once
        if (!working_)
            Now_working();
    });
}

void Reconnect_schedule::Set_waits(const Waits &waits)
{
    waits_ = waits;
}

void Reconnect_schedule::Set_enabled(bool on)
{
    enabled_ = on;
    if (!on)
        timer_->stop();
    else if (outage_ && !connected_ && !Running())
        timer_->start(0);
}

void Reconnect_schedule::Official_connect(const QString &host)
{
    host_ = host;
    Stop();
}

void Reconnect_schedule::Official_disconnect()
{
    Stop();
}

void Reconnect_schedule::Stop()
{
    timer_->stop();
    working_timer_->stop();
    wait_ms_ = 0;
    connected_ = working_ = outage_ = attempting_ = false;
}

void Reconnect_schedule::Connected()
{
    connected_ = true;
    working_ = false;
    timer_->stop(); // the attempt is made; the wait it would have been followed by is kept
    working_timer_->start(waits_.working_ms);
}

void Reconnect_schedule::Line_received()
{
    if (connected_ && !working_)
        Now_working();
}

bool Reconnect_schedule::Connection_lost()
{
    // Only a connection that was made can be lost: a refused attempt, ours or the
    // official's, leaves the schedule as it is.
    if (!connected_)
        return false;
    connected_ = working_ = false;
    working_timer_->stop();
    const bool begins = !outage_;
    outage_ = true;
    if (enabled_)
        timer_->start(wait_ms_); // at once after a connection that lasted, else the next wait
    return begins;
}

void Reconnect_schedule::Now_working()
{
    working_ = true;
    outage_ = false;
    emit Working();
}

bool Reconnect_schedule::Running() const
{
    return timer_->isActive();
}

void Reconnect_schedule::Attempt()
{
    attempting_ = true;
    wait_ms_ = wait_ms_ == 0 ? waits_.first_ms : std::min(2 * wait_ms_, waits_.longest_ms);
    timer_->start(wait_ms_);
    emit Attempt_due(host_);
}

#include "connection/reconnect_schedule.h"

#include <QTimer>

#include <algorithm>

Reconnect_schedule::Reconnect_schedule(QObject *parent, int first_wait_ms, int longest_wait_ms)
    : QObject(parent), first_wait_ms_(first_wait_ms), longest_wait_ms_(longest_wait_ms)
{
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &Reconnect_schedule::Attempt);
}

void Reconnect_schedule::Set_enabled(bool on)
{
    enabled_ = on;
    if (!on)
        Stop();
    else if (lost_ && !Running())
        Begin();
}

void Reconnect_schedule::Official_connect(const QString &host)
{
    host_ = host;
    connected_ = lost_ = false;
    Stop();
}

void Reconnect_schedule::Official_disconnect()
{
    connected_ = lost_ = false;
    Stop();
}

void Reconnect_schedule::Connection_lost()
{
    // Only a connection that was made can be lost: a refused attempt, ours or the
    // official's, starts nothing and leaves a running schedule as it is.
    if (!connected_)
        return;
    connected_ = false;
    lost_ = true;
    if (enabled_)
        Begin();
}

void Reconnect_schedule::Connected()
{
    connected_ = true;
    lost_ = false;
    Stop();
}

bool Reconnect_schedule::Running() const
{
    return timer_->isActive();
}

void Reconnect_schedule::Begin()
{
    wait_ms_ = 0;
    timer_->start(0); // after the loss has been shown
}

void Reconnect_schedule::Stop()
{
    timer_->stop();
    wait_ms_ = 0;
}

void Reconnect_schedule::Attempt()
{
    wait_ms_ = wait_ms_ == 0 ? first_wait_ms_ : std::min(2 * wait_ms_, longest_wait_ms_);
    timer_->start(wait_ms_);
    emit Attempt_due(host_);
}

#include "core/journal/attempt_fold.h"

#include <QMutexLocker>

#include <utility>

Attempt_fold::Attempt_fold(Sink sink, qint64 working_ms) : sink_(std::move(sink)), working_ms_(working_ms) {}

void Attempt_fold::Connect(const Journal_line &line)
{
    QMutexLocker locker(&lock_);
    if (in_attempt_) {
        if (connected_at_ >= 0) {
            Release_locked(); // a connection the official replaces: its close follows
        } else if (showing_) {
            ++kept_;
        } else { // replaced before the server answered
            held_.clear();
            ++folded_;
            last_ = {line.time, QStringLiteral("unanswered"), {}};
        }
    }
    in_attempt_ = true;
    connected_at_ = -1;
    showing_ = kept_ < Kept_in_full;
    if (showing_)
        Write(line);
    else
        held_.append(line);
}

void Attempt_fold::Connected(const Journal_line &line)
{
    QMutexLocker locker(&lock_);
    connected_at_ = line.time;
    if (in_attempt_ && !showing_)
        held_.append(line);
    else
        Write(line);
}

void Attempt_fold::Ended(const Journal_line &line)
{
    QMutexLocker locker(&lock_);
    const bool worked = connected_at_ >= 0 && line.time - connected_at_ >= working_ms_;
    const bool folded = in_attempt_ && !showing_ && !worked;
    const bool counted = in_attempt_ && !worked;
    in_attempt_ = false;
    connected_at_ = -1;
    if (folded) {
        held_.clear();
        ++folded_;
        last_ = line;
        if (line.time - written_at_ >= Count_every_ms)
            Release_locked();
        return;
    }
    Release_locked();
    Write(line);
    written_at_ = line.time;
    kept_ = counted ? kept_ + 1 : 0; // a connection that lasted begins a new run
}

void Attempt_fold::Release()
{
    QMutexLocker locker(&lock_);
    Release_locked();
}

void Attempt_fold::Reset()
{
    QMutexLocker locker(&lock_);
    Release_locked();
    kept_ = 0;
}

void Attempt_fold::Release_locked()
{
    if (folded_ > 0) {
        Write({last_.time, QStringLiteral("attempts"),
               QStringList{QStringLiteral("%1 failed").arg(folded_), last_.event} + last_.details});
        written_at_ = last_.time;
        folded_ = 0;
    }
    for (const Journal_line &line : std::as_const(held_))
        Write(line);
    held_.clear();
    showing_ = in_attempt_;
}

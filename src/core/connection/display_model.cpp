#include "core/connection/display_model.h"

#include <QMutexLocker>

#include <utility>

void Display_model::Create_logs()
{
    QMutexLocker lock(&lock_);
    shown_.to_goal = Class_rolling_text();
    shown_.to_goal.Set_Lines(10);
    shown_.from_goal = Class_rolling_text();
    shown_.from_goal.Set_Lines(10);
}

Display_model::Shown Display_model::Take()
{
    QMutexLocker lock(&lock_);
    Shown taken = shown_; // the logs are shared, not copied, until the next line
    shown_.from_goal_changed = shown_.to_goal_changed = shown_.heat_changed = false;
    shown_.ring = shown_.beep = false;
    told_ = false;
    return taken;
}

Class_rolling_text Display_model::From_goal() const
{
    QMutexLocker lock(&lock_);
    return shown_.from_goal;
}

Display_model::Receive_stats Display_model::Stats() const
{
    QMutexLocker lock(&lock_);
    return stats_;
}

Protocol::Heat_fields Display_model::Heat() const
{
    QMutexLocker lock(&lock_);
    return {shown_.heat_id, shown_.heat_status};
}

template <typename Change>
void Display_model::Change_shown(Change change)
{
    bool tell = false;
    {
        QMutexLocker lock(&lock_);
        change();
        tell = !std::exchange(told_, true);
    }
    if (tell)
        emit Changed();
}

void Display_model::Add_sent_line(const QString &line)
{
    Change_shown([&] {
        shown_.to_goal.Add_Line(line);
        shown_.to_goal_changed = true;
    });
}

void Display_model::Block_handled(const Protocol::Received &got, qint64 bytes, bool ring, bool beep, qint64 took_ns,
                                  qint64 cpu_ns, bool read)
{
    // The log is told once for all lines of a block: it ends up showing what telling
    // it after each line would have shown.
    if (!got.texts.isEmpty() || ring || beep) {
        Change_shown([&] {
            for (const QString &line : got.texts)
                shown_.from_goal.Add_Line(line);
            shown_.from_goal_changed = shown_.from_goal_changed || !got.texts.isEmpty();
            if (got.heat.id)
                shown_.heat_id = *got.heat.id;
            if (got.heat.status)
                shown_.heat_status = *got.heat.status;
            shown_.heat_changed = shown_.heat_changed || got.heat.id || got.heat.status;
            shown_.ring = shown_.ring || ring;
            shown_.beep = shown_.beep || beep;
            stats_.lines += got.texts.size();
        });
    }
    if (!read)
        return;
    QMutexLocker lock(&lock_);
    stats_.bytes += bytes;
    stats_.ring_blocks += ring;
    stats_.beep_blocks += beep;
    stats_.longest_handler_ns = std::max(stats_.longest_handler_ns, took_ns);
    stats_.longest_handler_cpu_ns = std::max(stats_.longest_handler_cpu_ns, cpu_ns);
    stats_.slow_blocks += took_ns > 2'000'000;
    stats_.slow_cpu_blocks += cpu_ns > 2'000'000;
    ++stats_.blocks;
}

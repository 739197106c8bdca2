#pragma once
// The model behind what the window shows of the connection, under a lock: the two
// logs, the heat, and the ring and beep the server asked for. The connection's thread
// writes the received side, the window's thread the To-goal log; the window takes it
// all when it is ready to draw. So however much the server sends, nothing piles up
// between the two threads: a change is told once (Changed) until the window takes
// what to show.

#include "core/connection/protocol.h"
#include "core/message_log/class_rolling_text.h"

#include <QMutex>
#include <QObject>
#include <QStringList>

class Display_model : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    struct Shown
    {
        Class_rolling_text from_goal; // the last ten lines received
        Class_rolling_text to_goal;   // the last ten lines sent
        QString heat_id, heat_status; // as the heat lines left them; empty until one sets them
        // What changed since the window last took it. Ring and beep: at least one block
        // asked for them; a window that draws less often than blocks come sounds once.
        bool from_goal_changed = false, to_goal_changed = false, heat_changed = false;
        bool ring = false, beep = false;
    };

    struct Receive_stats
    {
        qint64 bytes = 0;  // read from the socket
        qint64 blocks = 0; // handled to the end
        qint64 lines = 0;
        qint64 ring_blocks = 0, beep_blocks = 0;
        qint64 longest_handler_ns = 0;     // from its start to its end
        qint64 longest_handler_cpu_ns = 0; // the most work in one, without waits for a core
        qint64 slow_blocks = 0, slow_cpu_blocks = 0; // reads that took more than 2 ms; that worked more
    };

    // Every function may be called from any thread.
    void Create_logs(); // the two 10-line logs, at load
    Shown Take();       // what to show now; the next change is told again
    Class_rolling_text From_goal() const;
    Receive_stats Stats() const;
    Protocol::Heat_fields Heat() const; // both as shown now

    void Add_sent_line(const QString &line);
    // A block's lines, and the heat its heat lines left.
    // A read (or, read = false, the held piece of a line let go): its lines, the heat its
    // heat lines left, what it rang or beeped, and what it cost.
    void Block_handled(const Protocol::Received &got, qint64 bytes, bool ring, bool beep, qint64 took_ns,
                       qint64 cpu_ns, bool read = true);

signals:
    void Changed(); // told once until Take

private:
    template <typename Change> void Change_shown(Change change);

    mutable QMutex lock_;
    Shown shown_;
    bool told_ = false;
    Receive_stats stats_;
};

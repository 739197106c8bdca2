#include "connection/remote_connection.h"

#include "connection/tcp_client.h"
#include "connection/winsock_state.h"
#include "shared/ansi_text.h"
#include "shared/failure.h"
#include "shared/time_texts.h"

#include <QElapsedTimer>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <utility>

namespace {
// One read takes at most this much, so that a start waiting behind it is held up for
// a fraction of a millisecond at most, whatever the server sends; the rest is read in
// the next turn of the event loop.
constexpr qint64 Max_block = 4 * 1024;
} // namespace

Remote_connection::Remote_connection(QObject *parent) : QObject(parent)
{
    winsock1_ = new Tcp_client(this);
    connect(winsock1_, &Tcp_client::Connected, this, &Remote_connection::Winsock1_Connect);
    connect(winsock1_, &Tcp_client::Closed, this, &Remote_connection::Winsock1_Close);
    connect(winsock1_, &Tcp_client::Data_arrival, this, &Remote_connection::Winsock1_DataArrival);
    // Queued: whoever shows the error (a modal box) then runs its event loop outside
    // the socket's own signal.
    connect(winsock1_, &Tcp_client::Error, this, &Remote_connection::Winsock1_Error, Qt::QueuedConnection);

    grace_timer_ = new QTimer(this);
    grace_timer_->setSingleShot(true);
    grace_timer_->setInterval(Grace_ms);
    connect(grace_timer_, &QTimer::timeout, this, &Remote_connection::Held_line_Timer);
}

template <typename Call>
bool Remote_connection::Queued_elsewhere(const char *command, Call call)
{
    if (QThread::currentThread() == thread())
        return false;
    // Its caller's guard is on another thread: a failure is reported under the command's name.
    QMetaObject::invokeMethod(
        this, [command, call = std::move(call)] { Guarded(command, call); }, Qt::QueuedConnection);
    return true;
}

void Remote_connection::Set_remote_port(quint16 port)
{
    if (Queued_elsewhere(__func__, [this, port] { Set_remote_port(port); }))
        return;
    remote_port_ = port;
}

void Remote_connection::Set_grace_ms(int ms)
{
    if (Queued_elsewhere(__func__, [this, ms] { Set_grace_ms(ms); }))
        return;
    grace_timer_->setInterval(ms);
}

void Remote_connection::Create_logs()
{
    if (Queued_elsewhere(__func__, [this] { Create_logs(); }))
        return;
    QMutexLocker lock(&shown_lock_);
    shown_.to_goal = Class_rolling_text();
    shown_.to_goal.Set_Lines(10);
    shown_.from_goal = Class_rolling_text();
    shown_.from_goal.Set_Lines(10);
}

int Remote_connection::Socket_state() const
{
    return winsock1_->Last_state();
}

Class_rolling_text Remote_connection::Text_from_goal_log() const
{
    QMutexLocker lock(&shown_lock_);
    return shown_.from_goal;
}

Class_rolling_text Remote_connection::Text_to_goal_log() const
{
    QMutexLocker lock(&shown_lock_);
    return shown_.to_goal;
}

Remote_connection::Receive_stats Remote_connection::Stats() const
{
    QMutexLocker lock(&shown_lock_);
    return stats_;
}

Remote_connection::Display Remote_connection::Take_display()
{
    QMutexLocker lock(&shown_lock_);
    Display taken = shown_; // the logs are shared, not copied, until the next line
    shown_.from_goal_changed = shown_.to_goal_changed = shown_.heat_changed = false;
    shown_.ring = shown_.beep = false;
    told_ = false;
    return taken;
}

template <typename Change>
void Remote_connection::Change_display(Change change)
{
    bool tell = false;
    {
        QMutexLocker lock(&shown_lock_);
        change(shown_);
        tell = !std::exchange(told_, true);
    }
    if (tell)
        emit Display_changed();
}

// --- connection ---

void Remote_connection::Update_TCP_status()
{
    if (Queued_elsewhere(__func__, [this] { Update_TCP_status(); }))
        return;
    const int state = winsock1_->State();
    emit Status_changed(Winsock::Status_text(state), state);
}

void Remote_connection::Close_socket()
{
    if (Queued_elsewhere(__func__, [this] { Close_socket(); }))
        return;
    Flush_held();
    winsock1_->Close();
}

void Remote_connection::Connect(const QString &host)
{
    if (Queued_elsewhere(__func__, [this, host] { Connect(host); }))
        return;
    if (winsock1_->State() != Winsock::Closed)
        Winsock_Close();
    winsock1_->Connect(host, remote_port_);
    Update_TCP_status();
}

void Remote_connection::Disconnect()
{
    if (Queued_elsewhere(__func__, [this] { Disconnect(); }))
        return;
    Winsock_Close();
}

void Remote_connection::Winsock_Close()
{
    Flush_held(); // a line the server left unterminated is still shown
    winsock1_->Close();
    Update_TCP_status();
}

void Remote_connection::Winsock1_Connect()
{
    Guarded(__func__, [this] { Update_TCP_status(); });
}

void Remote_connection::Winsock1_Close()
{
    Guarded(__func__, [this] {
        Drain();
        Winsock_Close();
    });
}

void Remote_connection::Winsock1_Error(int number, const QString &description)
{
    Guarded(__func__, [&] {
        Drain();
        Flush_held();
        emit Socket_error(number, description);
        Update_TCP_status();
    });
}

// --- sending ---

void Remote_connection::Send_Data(const QString &text)
{
    if (winsock1_->State() != Winsock::Connected) {
        emit Not_connected();
        return;
    }
    winsock1_->Send(Protocol::Frame(text));
}

void Remote_connection::Start()
{
    if (Queued_elsewhere(__func__, [this] { Start(); }))
        return;
    Send_Data(Protocol::Start_text(Time_Stamp()));
}

void Remote_connection::Send_Start_Command()
{
    Guarded(__func__, [this] { Start(); });
}

void Remote_connection::Abort()
{
    if (Queued_elsewhere(__func__, [this] { Abort(); }))
        return;
    Send_Data(Protocol::Abort_text(Time_Stamp()));
}

void Remote_connection::Send(const QString &text)
{
    if (Queued_elsewhere(__func__, [this, text] { Send(text); }))
        return;
    const QString message = Protocol::Free_text(Time_Stamp(), text);
    Send_Data(message);
    Change_display([&](Display &shown) {
        shown.to_goal.Add_Line(message);
        shown.to_goal_changed = true;
    });
}

// --- receiving ---

void Remote_connection::Winsock1_DataArrival()
{
    Guarded(__func__, [this] { Read_block(); });
}

void Remote_connection::Read_next_block()
{
    read_queued_ = false;
    Winsock1_DataArrival();
}

void Remote_connection::Read_block()
{
    if (winsock1_->Bytes_waiting() <= 0)
        return;
    QElapsedTimer timer;
    timer.start();
    Handle_block(winsock1_->Read(Max_block));
    const qint64 took = timer.nsecsElapsed();
    {
        QMutexLocker lock(&shown_lock_);
        stats_.longest_handler_ns = std::max(stats_.longest_handler_ns, took);
    }
    if (winsock1_->Bytes_waiting() > 0 && !read_queued_) {
        // More than one block waits: a start asked for meanwhile goes first. One such
        // call waits at a time, however often the socket tells that data arrived.
        read_queued_ = true;
        QMetaObject::invokeMethod(this, &Remote_connection::Read_next_block, Qt::QueuedConnection);
    }
}

void Remote_connection::Drain()
{
    // What arrived before the connection ended is handled before the socket goes.
    while (winsock1_->Bytes_waiting() > 0)
        Handle_block(winsock1_->Read(Max_block));
}

void Remote_connection::Handle_block(const QByteArray &block)
{
    if (block.isEmpty())
        return;
    Handle_lines(splitter_.Feed(block));
    if (splitter_.Holding())
        grace_timer_->start(); // again from now: the rest of the line may still come
    else
        grace_timer_->stop();

    const bool ring = Protocol::Block_rings(block);
    const bool beep = Protocol::Block_beeps(block);
    if (ring || beep) {
        Change_display([&](Display &shown) {
            shown.ring = shown.ring || ring;
            shown.beep = shown.beep || beep;
        });
    }

    QMutexLocker lock(&shown_lock_);
    stats_.bytes += block.size();
    stats_.ring_blocks += ring;
    stats_.beep_blocks += beep;
    ++stats_.blocks;
}

void Remote_connection::Held_line_Timer()
{
    // No more of the line came in time: it is shown as it stands.
    Guarded(__func__, [this] { Flush_held(); });
}

void Remote_connection::Flush_held()
{
    grace_timer_->stop();
    if (splitter_.Holding())
        Handle_lines({splitter_.Take_held()});
}

void Remote_connection::Handle_lines(const QList<QByteArray> &lines)
{
    if (lines.isEmpty())
        return;
    // Decoded and read before the lock is taken: the window's thread may be waiting for it.
    QStringList texts;
    texts.reserve(lines.size());
    Heat heat;
    for (const QByteArray &bytes : lines) {
        texts.append(From_Ansi(bytes));
        if (Protocol::Is_heat_line(texts.constLast()))
            Update_Heat(texts.constLast(), heat);
    }
    // The log is told once for all lines of a block: it ends up showing what telling
    // it after each line would have shown.
    Change_display([&](Display &shown) {
        for (const QString &line : std::as_const(texts))
            shown.from_goal.Add_Line(line);
        shown.from_goal_changed = true;
        if (heat.id)
            shown.heat_id = *heat.id;
        if (heat.status)
            shown.heat_status = *heat.status;
        shown.heat_changed = shown.heat_changed || heat.id || heat.status;
        stats_.lines += texts.size();
    });
}

void Remote_connection::Update_Heat(const QString &line, Heat &heat)
{
    // Every heat line is acted on, in order: a short one sets what it has and leaves
    // the rest as the lines before it left it.
    Protocol::Heat_fields fields = Protocol::Split_heat_line(line);
    if (fields.id)
        heat.id = std::move(fields.id);
    if (fields.status)
        heat.status = std::move(fields.status);
}

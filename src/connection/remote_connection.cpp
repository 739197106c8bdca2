#include "connection/remote_connection.h"

#include "connection/tcp_client.h"
#include "connection/winsock_state.h"
#include "shared/ansi_text.h"
#include "shared/failure.h"
#include "shared/time_texts.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {
// One read takes at most this much, so one handler stays short however much the
// server has sent; the rest is handled in the next turn of the event loop.
constexpr qint64 Max_block = 64 * 1024;
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

void Remote_connection::Set_grace_ms(int ms)
{
    grace_timer_->setInterval(ms);
}

void Remote_connection::Create_logs()
{
    obj_text_to_goal_ = Class_rolling_text();
    obj_text_to_goal_.Set_Lines(10);
    obj_text_from_goal_ = Class_rolling_text();
    obj_text_from_goal_.Set_Lines(10);
}

int Remote_connection::Socket_state() const
{
    return winsock1_->State();
}

// --- connection ---

void Remote_connection::Update_TCP_status()
{
    const int state = winsock1_->State();
    emit Status_changed(Winsock::Status_text(state), state);
}

void Remote_connection::Close_socket()
{
    Flush_held();
    winsock1_->Close();
}

void Remote_connection::Connect(const QString &host)
{
    if (winsock1_->State() != Winsock::Closed)
        Winsock_Close();
    winsock1_->Connect(host, remote_port_);
    Update_TCP_status();
}

void Remote_connection::Disconnect()
{
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
    Send_Data(Protocol::Start_text(Time_Stamp()));
}

void Remote_connection::Send_Start_Command()
{
    Guarded(__func__, [this] { Start(); });
}

void Remote_connection::Abort()
{
    Send_Data(Protocol::Abort_text(Time_Stamp()));
}

void Remote_connection::Send(const QString &text)
{
    const QString message = Protocol::Free_text(Time_Stamp(), text);
    Send_Data(message);
    obj_text_to_goal_.Add_Line(message);
    emit To_goal_changed(obj_text_to_goal_);
}

// --- receiving ---

void Remote_connection::Winsock1_DataArrival()
{
    Guarded(__func__, [this] { Read_block(); });
}

void Remote_connection::Read_block()
{
    read_queued_ = false;
    if (winsock1_->Bytes_waiting() <= 0)
        return;
    QElapsedTimer timer;
    timer.start();
    Handle_block(winsock1_->Read(Max_block));
    stats_.longest_handler_ns = std::max(stats_.longest_handler_ns, timer.nsecsElapsed());
    if (winsock1_->Bytes_waiting() > 0 && !read_queued_) {
        // More than one block waits: let the event loop breathe between blocks.
        read_queued_ = true;
        QMetaObject::invokeMethod(this, &Remote_connection::Winsock1_DataArrival, Qt::QueuedConnection);
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
    stats_.bytes += block.size();
    Handle_lines(splitter_.Feed(block));
    if (splitter_.Holding())
        grace_timer_->start(); // again from now: the rest of the line may still come
    else
        grace_timer_->stop();

    if (Protocol::Block_rings(block))
        emit Ring_requested();
    if (Protocol::Block_beeps(block))
        emit Beep_requested();

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
    // The log is told once for all lines of a block: it ends up showing what telling
    // it after each line would have shown.
    for (const QByteArray &bytes : lines) {
        const QString line = From_Ansi(bytes);
        obj_text_from_goal_.Add_Line(line);
        if (Protocol::Is_heat_line(line))
            Update_Heat(line);
    }
    stats_.lines += lines.size();
    emit From_goal_changed(obj_text_from_goal_);
}

void Remote_connection::Update_Heat(const QString &line)
{
    // A short heat line sets what it has and leaves the rest as it was.
    const Protocol::Heat_fields heat = Protocol::Split_heat_line(line);
    if (heat.id)
        emit Heat_id_changed(*heat.id);
    if (heat.status)
        emit Heat_status_changed(*heat.status);
}

#include "core/connection/remote_connection.h"

#include "core/connection/tcp_client.h"
#include "core/connection/winsock_state.h"
#include "core/shared/failure.h"
#include "core/shared/platform.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {
// One read takes at most this much, so that reading never holds the thread long,
// whatever the server sends; the rest is read in the next turn of the event loop.
constexpr qint64 Max_block = 4 * 1024;

// WSAECONNRESET: the server's side reset the connection.
constexpr int Reset_by_peer = 10054;
} // namespace

Remote_connection::Remote_connection(QObject *parent) : QObject(parent)
{
    winsock1_ = new Tcp_client(this);
    display_ = new Display_model(this);
    connect(winsock1_, &Tcp_client::Connected, this, &Remote_connection::Winsock1_Connect);
    connect(winsock1_, &Tcp_client::Closed, this, &Remote_connection::Winsock1_Close);
    connect(winsock1_, &Tcp_client::Data_arrival, this, &Remote_connection::Winsock1_DataArrival);
    // Queued: handled outside the socket's own signal.
    connect(winsock1_, &Tcp_client::Error, this, &Remote_connection::Winsock1_Error, Qt::QueuedConnection);

    grace_timer_ = new QTimer(this);
    grace_timer_->setSingleShot(true);
    grace_timer_->setInterval(Grace_ms);
    connect(grace_timer_, &QTimer::timeout, this, &Remote_connection::Held_line_Timer);
}

void Remote_connection::Set_remote_port(quint16 port)
{
    remote_port_ = port;
}

void Remote_connection::Set_grace_ms(int ms)
{
    grace_timer_->setInterval(ms);
}

void Remote_connection::Set_stall_ms(int ms)
{
    winsock1_->Set_stall_ms(ms);
}

Message_writer &Remote_connection::Writer() const
{
    return winsock1_->Writer();
}

int Remote_connection::Socket_state() const
{
    return winsock1_->Last_state();
}

// --- connection ---

void Remote_connection::Update_TCP_status()
{
    const int state = winsock1_->State();
    emit Status_changed(Winsock::Status_text(state), state);
}

int Remote_connection::Close_socket()
{
    Flush_held();
    const int unsent = winsock1_->Close();
    if (std::exchange(was_connected_, false) || unsent)
        emit Ended({Connection_end::Closed_by_official, 0, QString(), unsent});
    return unsent;
}

void Remote_connection::Connect(const QString &host)
{
    emit Connect_asked(host);
    if (winsock1_->State() != Winsock::Closed)
        Winsock_Close();
    winsock1_->Connect(host, remote_port_);
    Update_TCP_status();
}

void Remote_connection::Attempt(const QString &host)
{
    if (winsock1_->State() != Winsock::Connected)
        Connect(host);
}

void Remote_connection::Disconnect()
{
    Winsock_Close();
}

void Remote_connection::Winsock_Close()
{
    Close_socket(); // a line the server left unterminated is still shown
    Update_TCP_status();
}

void Remote_connection::Winsock1_Connect()
{
    Guarded(__func__, [this] {
        was_connected_ = true;
        line_told_ = false;
        emit Connected();
        Update_TCP_status();
    });
}

void Remote_connection::Winsock1_Close()
{
    Guarded(__func__, [this] {
        Drain();
        Flush_held();
        const int unsent = winsock1_->Close(Not_sent_reason::Error);
        was_connected_ = false;
        emit Ended({Connection_end::Closed_by_server, 0, QString(), unsent});
        Update_TCP_status();
    });
}

void Remote_connection::Winsock1_Error(int number, const QString &description, int unsent)
{
    Guarded(__func__, [&] {
        Drain();
        Flush_held();
        const Connection_end::How how = !std::exchange(was_connected_, false) ? Connection_end::Not_made
                                        : number == Reset_by_peer                ? Connection_end::Reset
                                                                                 : Connection_end::Failed;
        emit Ended({how, number, description, unsent});
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
    Handle_block(winsock1_->Read(Max_block));
    if (winsock1_->Bytes_waiting() > 0 && !read_queued_) {
        // More than one block waits: the thread's other events go first. One such
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

void Remote_connection::Handle_block(const QByteArray &block, bool held)
{
    if (held ? !splitter_.Holding() : block.isEmpty())
        return;
    QElapsedTimer timer;
    timer.start();
    const qint64 cpu_start = Platform::Thread_cpu_ns();
    const qint64 read_us = held ? held_read_us_ : Utc_now_us();
    // What the whole block asks for, then its lines (or the held piece, let go as a line).
    const bool ring = Protocol::Block_rings(block), beep = Protocol::Block_beeps(block);
    const QList<QByteArray> lines = held ? QList<QByteArray>{splitter_.Take_held()} : splitter_.Feed(block);
    const Protocol::Received got = Protocol::Decode_lines(lines);
    if (!got.texts.isEmpty()) {
        emit Lines_received(got.texts, read_us);
        if (got.heat.id || got.heat.status) {
            heat_id_ = got.heat.id.value_or(heat_id_);
            heat_status_ = got.heat.status.value_or(heat_status_);
            emit Heat_changed(heat_id_, heat_status_);
        }
        if (!held && !std::exchange(line_told_, true))
            emit First_line_received();
    }
    if (splitter_.Holding()) {
        held_read_us_ = read_us;
        grace_timer_->start(); // again from now: the rest of the line may still come
    } else {
        grace_timer_->stop();
    }
    // Last: a read is counted once all it brought is told.
    display_->Block_handled(got, block.size(), ring, beep, timer.nsecsElapsed(), Platform::Thread_cpu_ns() - cpu_start,
                            !held);
}

void Remote_connection::Held_line_Timer()
{
    // No more of the line came in time: it is shown as it stands.
    Guarded(__func__, [this] { Flush_held(); });
}

void Remote_connection::Flush_held()
{
    grace_timer_->stop();
    Handle_block({}, true);
}


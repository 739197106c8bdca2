#include "core/connection/tcp_client.h"

#include "core/connection/socket_io.h"
#include "core/connection/winsock_state.h"
#include "core/shared/failure.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTimer>

namespace {
// Qt buffers what the server sends until it is read; a bound lets TCP's own flow
// control hold back a server that sends faster than the window can show.
constexpr qint64 Read_buffer_size = 1 << 20;
// While messages wait, the socket is offered them this often. Not a write notifier:
// a socket may take bytes well before it reports itself writable again.
constexpr int Retry_ms = 5;
} // namespace

Tcp_client::Tcp_client(QObject *parent) : QObject(parent)
{
    retry_timer_ = new QTimer(this);
    retry_timer_->setInterval(Retry_ms);
    connect(retry_timer_, &QTimer::timeout, this, &Tcp_client::Sending_waits);
    stall_timer_ = new QTimer(this);
    stall_timer_->setSingleShot(true);
    stall_timer_->setInterval(Stall_ms);
    connect(stall_timer_, &QTimer::timeout, this, [this] {
        Guarded("Send_Data", [this] {
            if (!writer_.Flush())
                Fail(Winsock::No_buffer_space, Not_sent_reason::Stalled);
        });
    });
}

Tcp_client::~Tcp_client()
{
    Close();
}

void Tcp_client::Set_stall_ms(int ms)
{
    stall_timer_->setInterval(ms);
}

int Tcp_client::State() const
{
    if (error_)
        return Winsock::Error;
    return socket_ ? Winsock::State_of(socket_->state()) : Winsock::Closed;
}

void Tcp_client::Connect(const QString &host, quint16 port)
{
    Close();
    // A fresh socket per connection: nothing of an old one can reach the new one.
    socket_ = new QTcpSocket(this);
    socket_->setReadBufferSize(Read_buffer_size);
    connect(socket_, &QTcpSocket::connected, this, [this] {
        // A start must leave at once, not wait for the previous segment's ACK.
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // A dead link is a loss within seconds, not after the system's minutes of retries.
        if (!Socket_io::Limit_dead_link(socket_->socketDescriptor()))
            qWarning("The system refused the keep-alive and time-out of the connection: a dead link is seen late.");
        // The writer's wake-up crosses threads as a queued call; the writer is closed
        // before this object goes, and no wake-up comes after its close.
        writer_.Open(socket_->socketDescriptor(),
                     [this] { QMetaObject::invokeMethod(this, &Tcp_client::Sending_waits, Qt::QueuedConnection); });
        emit Connected();
    });
    connect(socket_, &QTcpSocket::readyRead, this, &Tcp_client::Data_arrival);
    connect(socket_, &QTcpSocket::errorOccurred, this, &Tcp_client::On_error);
    connect(socket_, &QTcpSocket::disconnected, this, &Tcp_client::On_disconnected);
    connect(socket_, &QTcpSocket::stateChanged, this, &Tcp_client::Note_state);
    socket_->connectToHost(host, port);
    Note_state();
}

int Tcp_client::Close(Not_sent_reason why)
{
    // The writer first: no byte goes out once the socket starts to close.
    Stop_waiting();
    const int unsent = writer_.Close(why);
    error_ = false;
    if (socket_) {
        QTcpSocket *old = socket_;
        socket_ = nullptr;
        old->disconnect(this); // our own close raises no Closed event
        old->abort();
        old->deleteLater(); // we may be inside one of its signals
    }
    Note_state();
    return unsent;
}

void Tcp_client::Sending_waits()
{
    Guarded("Send_Data", [this] {
        if (writer_.Failed()) {
            Fail(writer_.Error(), writer_.Error() == Winsock::No_buffer_space ? Not_sent_reason::Queue_full
                                                                                  : Not_sent_reason::Error);
            return;
        }
        if (writer_.Flush()) {
            Stop_waiting();
        } else if (!retry_timer_->isActive()) {
            retry_timer_->start();
            stall_timer_->start();
        }
    });
}

void Tcp_client::Stop_waiting()
{
    retry_timer_->stop();
    stall_timer_->stop();
}

void Tcp_client::Fail(int error, Not_sent_reason why)
{
    if (!socket_ || error_)
        return;
    // What could not go must not go late either: the connection ends here, in the
    // error state, with a reset that drops what the system still holds, and what waited
    // is counted as not sent.
    Stop_waiting();
    Socket_io::Discard_unsent_on_close(socket_->socketDescriptor());
    const int unsent = writer_.Close(why);
    error_ = true;
    socket_->disconnect(this);
    socket_->abort();
    Note_state();
    emit Error(error, Winsock::Error_text(error), unsent);
}

qint64 Tcp_client::Bytes_waiting() const
{
    return socket_ ? socket_->bytesAvailable() : 0;
}

QByteArray Tcp_client::Read(qint64 max_bytes)
{
    return socket_ ? socket_->read(max_bytes) : QByteArray();
}

void Tcp_client::On_error()
{
    const QAbstractSocket::SocketError error = socket_->error();
    // A peer that hangs up is no error: the disconnected signal that follows is the close.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    Stop_waiting();
    const int unsent = writer_.Close(Not_sent_reason::Error);
    error_ = true;
    Note_state();
    const int number = Winsock::From_socket_error(error);
    emit Error(number, Winsock::Error_text(number, socket_->errorString()), unsent);
}

void Tcp_client::Note_state()
{
    last_state_.store(State(), std::memory_order_relaxed);
}

void Tcp_client::On_disconnected()
{
    // After an error the connection is gone too, but the state stays "Error".
    if (error_)
        return;
    // Qt reads a reset as an end; the connection's own state tells them apart.
    if (writer_.Was_reset()) {
        Fail(Winsock::Connection_reset, Not_sent_reason::Error);
        return;
    }
    emit Closed();
}

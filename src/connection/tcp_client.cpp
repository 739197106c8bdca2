#include "connection/tcp_client.h"

#include "connection/winsock_state.h"

#include <QTcpSocket>

namespace {
// Qt buffers what the server sends until it is read; a bound lets TCP's own flow
// control hold back a server that sends faster than the window can show.
constexpr qint64 Read_buffer_size = 1 << 20;
} // namespace

Tcp_client::Tcp_client(QObject *parent) : QObject(parent) {}

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
        emit Connected();
    });
    connect(socket_, &QTcpSocket::readyRead, this, &Tcp_client::Data_arrival);
    connect(socket_, &QTcpSocket::errorOccurred, this, &Tcp_client::On_error);
    connect(socket_, &QTcpSocket::disconnected, this, &Tcp_client::On_disconnected);
    connect(socket_, &QTcpSocket::stateChanged, this, &Tcp_client::Note_state);
    socket_->connectToHost(host, port);
    Note_state();
}

void Tcp_client::Close()
{
    error_ = false;
    if (!socket_) {
        Note_state();
        return;
    }
    QTcpSocket *old = socket_;
    socket_ = nullptr;
    old->disconnect(this); // our own close raises no Closed event
    old->flush();
    old->abort();
    old->deleteLater();    // we may be inside one of its signals
    Note_state();
}

bool Tcp_client::Send(const QByteArray &bytes)
{
    if (State() != Winsock::Connected)
        return false;
    if (socket_->write(bytes) != bytes.size())
        return false;
    socket_->flush(); // to the operating system now, not on the next event-loop turn
    return true;
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
    error_ = true;
    Note_state();
    emit Error(Winsock::Error_number(error), socket_->errorString());
}

void Tcp_client::Note_state()
{
    last_state_.store(State(), std::memory_order_relaxed);
}

void Tcp_client::On_disconnected()
{
    // After an error the connection is gone too, but the state stays "Error".
    if (!error_)
        emit Closed();
}

#include "core/connection/connection_thread.h"

#include "core/connection/remote_connection.h"
#include "core/shared/failure.h"

Connection_thread::Connection_thread()
{
    thread_.setObjectName(QStringLiteral("Connection"));
    // Made without a parent: an object is moved to another thread alone, and it must be
    // deleted on its own thread (its socket's notifiers belong there).
    connection_ = new Remote_connection;
    connection_->moveToThread(&thread_);
    thread_.start();
}

Connection_thread::~Connection_thread()
{
    // The commands given before this one run first, then the socket closes where it lives.
    QMetaObject::invokeMethod(
        connection_,
        [connection = connection_] {
            Guarded("Close_socket", [connection] { connection->Close_socket(); });
            delete connection;
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

template <typename Command>
void Connection_thread::Post(const char *name, Command command)
{
    QMetaObject::invokeMethod(
        connection_, [name, connection = connection_, command] { Guarded(name, [&] { command(*connection); }); },
        Qt::QueuedConnection);
}

void Connection_thread::Connect(const QString &host)
{
    Post("Command_connect_Click", [host](Remote_connection &c) { c.Connect(host); });
}

void Connection_thread::Attempt(const QString &host)
{
    Post("Attempt", [host](Remote_connection &c) { c.Attempt(host); });
}

void Connection_thread::Disconnect()
{
    Post("Command_disconnect_Click", [](Remote_connection &c) { c.Disconnect(); });
}

void Connection_thread::Update_TCP_status()
{
    Post("Update_TCP_status", [](Remote_connection &c) { c.Update_TCP_status(); });
}

void Connection_thread::Set_remote_port(quint16 port)
{
    Post("Set_remote_port", [port](Remote_connection &c) { c.Set_remote_port(port); });
}

void Connection_thread::Set_grace_ms(int ms)
{
    Post("Set_grace_ms", [ms](Remote_connection &c) { c.Set_grace_ms(ms); });
}

int Connection_thread::Close()
{
    int unsent = 0;
    QMetaObject::invokeMethod(
        connection_,
        [&unsent, connection = connection_] {
            Guarded("Close_socket", [&] { unsent = connection->Close_socket(); });
        },
        Qt::BlockingQueuedConnection);
    return unsent;
}

Message_writer &Connection_thread::Writer() const
{
    return connection_->Writer();
}

Display_model &Connection_thread::Display() const
{
    return connection_->Display();
}

int Connection_thread::Socket_state() const
{
    return connection_->Socket_state();
}

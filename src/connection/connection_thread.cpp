#include "connection/connection_thread.h"

#include "connection/remote_connection.h"
#include "shared/failure.h"

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
    // The calls queued before this one run first, then the socket closes where it lives.
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

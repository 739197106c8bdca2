#pragma once
// The connection on a thread of its own. The socket, the reading of what the server
// sends and every start run there, so a start never waits for the window's thread,
// whatever that thread is drawing; the window only shows what the connection tells.

#include <QThread>

class Remote_connection;

class Connection_thread
{
public:
    Connection_thread(); // the thread runs from here
    // Closes the socket (the server sees the close), then ends the thread and waits for it.
    ~Connection_thread();
    Q_DISABLE_COPY_MOVE(Connection_thread)

    // Lives on the connection's thread: call its commands and connect to its signals
    // (they reach a receiver on another thread queued); never delete it.
    Remote_connection *Connection() const { return connection_; }

private:
    QThread thread_;
    Remote_connection *connection_ = nullptr;
};

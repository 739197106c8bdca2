#pragma once
// The connection on a thread of its own, and the one door to it from other threads.
// The socket and the reading of what the server sends run there, so reading never
// waits for the window's thread, whatever that thread is drawing. Messages (Start,
// Abort, texts) do not go through the door: they go straight to the writer, on the
// thread that gives them.

#include <QThread>

class Display_model;
class Message_writer;
class Remote_connection;

class Connection_thread
{
public:
    Connection_thread(); // the thread runs from here
    // Closes the socket (the server sees the close), then ends the thread and waits for it.
    ~Connection_thread();
    Q_DISABLE_COPY_MOVE(Connection_thread)

    // The commands, from any thread: each runs on the connection's thread, in the order
    // given; a failure in one is reported under its name.
    void Connect(const QString &host);
    void Attempt(const QString &host); // a reconnect: leaves a connection that is made alone
    void Disconnect();
    void Update_TCP_status();
    void Set_remote_port(quint16 port);
    void Set_grace_ms(int ms);
    // At exit: closes at once and returns how many messages were not sent. Waits for the
    // connection's thread, which never waits for the caller's.
    int Close();

    // Any thread.
    Message_writer &Writer() const;
    Display_model &Display() const;
    int Socket_state() const; // 0..9, Winsock::State

    // For connecting to its signals only (they reach a receiver on another thread
    // queued, or run on the connection's thread when connected directly); never call it.
    Remote_connection *Connection() const { return connection_; }

private:
    template <typename Command> void Post(const char *name, Command command);

    QThread thread_;
    Remote_connection *connection_ = nullptr;
};

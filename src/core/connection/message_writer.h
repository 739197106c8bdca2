#pragma once
// The one writer of every byte the client sends. A message is written on the thread
// that gives it (the trigger's start on the vendor library's thread, a click on the
// window's), at once, under one short lock: no queued call, no wait for another
// thread. What the socket cannot take at once waits in a bounded queue that the
// connection's thread sends on as the socket drains; a later message never overtakes
// an earlier one and is never cut into another. Opening and closing take the same
// lock, so nothing is written after a close or to a descriptor reused since.
//
// Every message sent or not sent is told to the observer, on the thread where it
// happened, with the time taken there.

#include "core/connection/protocol.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <functional>
#include <mutex>

enum class Message_kind { Start, Abort, Text };

// The time of an event as the record keeps it: microseconds since 1970 (UTC).
qint64 Utc_now_us();

// What gave a message: a click on its button (Start, Abort, Send), a key on that
// button, or the hardware trigger.
struct Message_source
{
    enum Kind { Click, Keyboard, Trigger };
    Kind kind = Click;
    int input = -1; // the trigger's input number
};

struct Outgoing_message
{
    Message_kind kind = Message_kind::Start;
    Message_source source;
    QString text; // exactly as sent, without the terminator
};

enum class Send_result {
    Sent,          // all its bytes are with the network
    Queued,        // it waits for the socket to drain, behind what was given before
    Not_connected, // nothing sent: no connection (or it failed while sending)
    Queue_full,    // nothing sent: the server takes nothing; the connection fails with it
};

enum class Not_sent_reason { Not_connected, Queue_full, Stalled, Closed, Error };

// Told of every message. Called on the thread that sent it (or failed to), under the
// writer's lock so the order told is the order on the wire: it must be cheap, never
// block and never call the writer.
class Message_observer
{
public:
    virtual ~Message_observer() = default;
    // Right after the message's last byte was handed to the network.
    virtual void Message_sent(const Outgoing_message &message, qint64 utc_us) = 0;
    // detail: the system's error text where there is one.
    virtual void Message_not_sent(const Outgoing_message &message, Not_sent_reason why, const QString &detail,
                                  qint64 utc_us) = 0;
    // A message told as sent whose bytes the server's machine had not acknowledged when
    // the connection was lost: it may never have arrived.
    virtual void Message_not_acknowledged(const Outgoing_message &, qint64) {}
};

class Message_writer
{
public:
    // Bytes the queue takes; past that a message is refused and the connection fails
    // (the rest of a message begun on the wire always waits whole).
    static constexpr qsizetype Max_queued = 8 * 1024;

    // Sent messages remembered for telling which the server's machine had not
    // acknowledged when the connection was lost: the last ones, far more than a dead
    // link leaves time to give.
    static constexpr qsizetype Max_remembered = 64;

    // Hands bytes to the network without waiting, as Socket_io::Send.
    using Send_function = std::function<qint64(qintptr socket, const char *data, qint64 size, int &error)>;

    Message_writer() = default;
    ~Message_writer();
    Q_DISABLE_COPY_MOVE(Message_writer)

    // Set once, before any message.
    void Set_observer(Message_observer *observer) { observer_ = observer; }
    // Tests stand in for the socket's send: one that takes nothing is a server that
    // stopped reading, whatever the system's buffers.
    void Set_send(Send_function send);

    // Any thread. A Start's and an Abort's text is built here, with the time of sending;
    // Send takes the text whole, as it goes on the wire (without the terminator).
    Send_result Start(Message_source source);
    Send_result Abort(Message_source source);
    Send_result Send(Message_kind kind, const QString &text, Message_source source);

    // The connection's side, on its thread. wake is called on a sending thread, under
    // the lock (so it must only post), when messages start to wait or sending failed.
    void Open(qintptr socket, std::function<void()> wake);
    // Sends what waits as far as the socket takes it; true when nothing waits.
    bool Flush();
    bool Failed() const; // a message was refused or the socket failed: the connection must end
    int Error() const;   // that failure's Windows Sockets number
    bool Was_reset() const;
    // Sends what it can of what waits, then drops the rest (each told with why) and
    // closes its descriptor. Returns how many messages were not sent: those dropped, and
    // those refused because the connection failed with them (the queue full, a send
    // error). When the connection was lost (why is not Closed), the sent ones the server's
    // machine had not acknowledged are told and counted too.
    int Close(Not_sent_reason why);

private:
    struct Waiting
    {
        Outgoing_message message;
        QByteArray bytes;
        qsizetype done = 0;
    };
    struct Handed // a sent message and where its bytes end in the stream
    {
        Outgoing_message message;
        qint64 end = 0;
    };
    bool Flush_locked();
    void Fail_locked(int error);
    qint64 Send_locked(const char *data, qint64 size, int &error);
    int Tell_not_acknowledged();
    void Tell_sent(const Outgoing_message &message);
    void Tell_not_sent(const Outgoing_message &message, Not_sent_reason why, const QString &detail = {});

    mutable std::mutex lock_; // a standard mutex: ThreadSanitizer sees through it
    qintptr socket_ = -1;
    std::function<void()> wake_;
    std::deque<Waiting> queue_;
    qsizetype queued_bytes_ = 0; // of the messages none of whose bytes went yet
    int error_ = 0; // non-zero: failed
    int refused_ = 0; // messages refused as the connection failed with them
    qint64 handed_ = 0; // bytes handed to the network on this socket
    std::deque<Handed> remembered_;
    Send_function send_;
    Message_observer *observer_ = nullptr;
};

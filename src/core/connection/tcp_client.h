#pragma once
// The TCP client to the timing server: a QTcpSocket seen through the state numbers
// and events the start protocol is written against. It connects and reads on the
// thread it lives on (the connection's, which Connection_thread runs); what is sent
// goes through its writer (Message_writer), from any thread.

#include "core/connection/message_writer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>

class QTcpSocket;
class QTimer;

class Tcp_client : public QObject
{
    Q_OBJECT
public:
    // A queue that has not drained in this time ends the connection with an error.
    static constexpr int Stall_ms = 2000;

    explicit Tcp_client(QObject *parent = nullptr);
    ~Tcp_client() override;
    // Tests hold the stall off while they make sure a real socket is full.
    void Set_stall_ms(int ms);

    // 0..9 (Winsock::State). After an error it stays 9 until Close or Connect.
    int State() const;
    // The same, as it was last seen on this object's thread, readable from any thread.
    int Last_state() const { return last_state_.load(std::memory_order_relaxed); }

    // Closes whatever was there, then connects asynchronously: the outcome comes as
    // Connected or Error.
    void Connect(const QString &host, quint16 port);

    // Allowed in every state; afterwards the state is 0. Raises no event. Returns how
    // many messages given were not sent (each told to the writer's observer).
    int Close(Not_sent_reason why = Not_sent_reason::Closed);

    // The sending side; any thread.
    Message_writer &Writer() { return writer_; }

    qint64 Bytes_waiting() const;
    QByteArray Read(qint64 max_bytes);

signals:
    void Connected();
    void Closed(); // the peer ended the connection in order
    void Data_arrival();
    // unsent: messages given that could not be sent because of it.
    void Error(int number, const QString &description, int unsent);

private:
    void On_error();
    void On_disconnected();
    void Note_state();
    void Sending_waits(); // the writer's wake-up and its retries, on this thread
    void Stop_waiting();
    void Fail(int error, Not_sent_reason why);

    QTcpSocket *socket_ = nullptr;
    Message_writer writer_;
    QTimer *retry_timer_ = nullptr; // while messages wait
    QTimer *stall_timer_ = nullptr;
    bool error_ = false;
    std::atomic<int> last_state_{0};
};

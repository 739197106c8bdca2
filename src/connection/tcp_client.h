#pragma once
// The TCP client to the timing server: a QTcpSocket seen through the state numbers
// and events the start protocol is written against.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>

class QTcpSocket;

class Tcp_client : public QObject
{
    Q_OBJECT
public:
    explicit Tcp_client(QObject *parent = nullptr);

    // 0..9 (Winsock::State). After an error it stays 9 until Close or Connect.
    int State() const;
    // The same, as it was last seen on this object's thread, readable from any thread.
    int Last_state() const { return last_state_.load(std::memory_order_relaxed); }

    // Closes whatever was there, then connects asynchronously: the outcome comes as
    // Connected or Error.
    void Connect(const QString &host, quint16 port);

    // Allowed in every state; afterwards the state is 0. Raises no event.
    void Close();

    // Hands the bytes to the operating system before returning. False when not connected.
    bool Send(const QByteArray &bytes);

    qint64 Bytes_waiting() const;
    QByteArray Read(qint64 max_bytes);

signals:
    void Connected();
    void Closed();        // the peer (or the network) ended the connection
    void Data_arrival();
    void Error(int number, const QString &description);

private:
    void On_error();
    void On_disconnected();
    void Note_state();

    QTcpSocket *socket_ = nullptr;
    bool error_ = false;
    std::atomic<int> last_state_{0};
};

#pragma once
// A stand-in for the timing server at a desk: it accepts remote starters, tells them
// the active heat, answers Start and Abort, prints what it receives and sends what
// the person at its console types.

#include "core/connection/protocol.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTextStream>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

class Timing_sim : public QObject
{
    Q_OBJECT
public:
    Timing_sim(QTextStream &out, int first_heat, QObject *parent = nullptr);

    bool Listen(const QHostAddress &address, quint16 port);
    void Read_console();     // starts taking commands from standard input
    void Command(const QString &typed);
    static QString Help();

private:
    void Accept();
    void Receive(QTcpSocket *client);
    void Drop(QTcpSocket *client);
    void Handle_line(QTcpSocket *client, const QByteArray &bytes);
    void Console_ready();
    void Send_all(const QString &text);
    QString Heat_line() const;
    void Print(const QString &text);
    static QString Peer(QTcpSocket *client);

    QTextStream &out_;
    QTcpServer *server_ = nullptr;
    QHash<QTcpSocket *, Line_splitter> clients_;
    QSocketNotifier *console_ = nullptr;
    QByteArray console_buffer_;
    int heat_;
    QString status_ = QStringLiteral("Ready");
};

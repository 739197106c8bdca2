#pragma once
// The connection to the timing server, without a window: connecting, closing, the
// status, and the reading of what the server sends. Plain code of one thread: it runs
// on the thread it lives on (Connection_thread gives it one, and is the door to it
// from others). Messages do not pass through it: they go straight to its writer
// (Writer(), any thread). What the window shows it writes to its display (Display()).

#include "core/connection/connection_display.h"
#include "core/connection/message_writer.h"
#include "core/connection/protocol.h"

#include <QObject>

class QTimer;
class Tcp_client;

class Remote_connection : public QObject
{
    Q_OBJECT
public:
    // How a connection ended other than by the official's Disconnect or exit.
    enum Loss { Peer_closed, Reset, Error };
    Q_ENUM(Loss)

    explicit Remote_connection(QObject *parent = nullptr);

    // Command_connect_Click: closes whatever is there and connects to host.
    void Connect(const QString &host);
    // Command_disconnect_Click: closes (also when closed already).
    void Disconnect();
    // Tells the state now (Status_changed), also when it changed without an event.
    void Update_TCP_status();
    // At program exit, whatever the state. Returns how many messages were not sent.
    int Close_socket();

    // The server's port is fixed; tests and benchmarks point it at a server of their own.
    void Set_remote_port(quint16 port);

    // How long a held unterminated piece waits for the rest of its line.
    static constexpr int Grace_ms = 200;
    // Tests on a loaded machine lengthen the wait so a slow second read is not taken for a pause.
    void Set_grace_ms(int ms);
    // How long messages may wait for the socket before the connection fails (Tcp_client::Stall_ms).
    void Set_stall_ms(int ms);

    // Any thread.
    Message_writer &Writer() const;
    Connection_display &Display() const { return *display_; }
    int Socket_state() const; // 0..9, Winsock::State

signals:
    // Every state change with an event, and Update_TCP_status; not the state an error
    // leaves (the window reads it as it shows the error).
    void Status_changed(const QString &text, int state); // text: as Label_status shows it
    // The error event; unsent: messages given that could not be sent because of it.
    void Socket_error(int number, const QString &description, int unsent);

    // For whoever keeps a record or sounds an alarm (emitted on the connection's thread).
    void Connect_asked(const QString &host);
    void Connected();
    void First_line_received(); // once a connection: its first whole line from the server
    void Closed_by_official(int unsent); // Disconnect, a new Connect, or the exit
    // After it was connected. number and description: of the error (0 and empty for Peer_closed).
    void Lost(Remote_connection::Loss how, int number, const QString &description, int unsent);
    // The lines of one block as read (without "%"), stamped when the block was read.
    void Lines_received(const QStringList &lines, qint64 read_utc_us);
    void Heat_changed(const QString &heat_id, const QString &heat_status);

private:
    void Winsock_Close();
    // The socket's events.
    void Winsock1_Connect();
    void Winsock1_Close();
    void Winsock1_Error(int number, const QString &description, int unsent);
    void Winsock1_DataArrival();
    void Read_next_block(); // the rest of what waits, a block a turn
    void Held_line_Timer();
    // Receiving.
    void Read_block();
    void Drain();
    void Handle_block(const QByteArray &block);
    void Flush_held();
    void Handle_lines(const QList<QByteArray> &lines, qint64 read_utc_us);
    static void Update_Heat(const QString &line, Protocol::Heat_fields &heat);

    Tcp_client *winsock1_ = nullptr;
    Connection_display *display_ = nullptr;
    QTimer *grace_timer_ = nullptr;
    Line_splitter splitter_;
    quint16 remote_port_ = Protocol::Remote_port;
    bool read_queued_ = false;
    bool was_connected_ = false; // since the last Connect: a loss is one only after this
    bool line_told_ = false;     // First_line_received, for this connection
    qint64 held_read_us_ = 0;    // when the held piece's last block was read
};

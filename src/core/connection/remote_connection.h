#pragma once
// The connection to the timing server, without a window: connecting, closing, the
// status, and the reading of what the server sends. Plain code of one thread: it runs
// on the thread it lives on (Connection_thread gives it one, and is the door to it
// from others). It holds the writer every message goes through (Writer()), but a
// message never waits for its thread: the writer writes on the thread that gives it.
// What the window shows it writes to its display's model (Display()).

#include "core/connection/display_model.h"
#include "core/connection/message_writer.h"
#include "core/connection/protocol.h"

#include <QMetaType>
#include <QObject>

class QTimer;
class Tcp_client;

// How a connection ended: told once for each end (Remote_connection::Ended).
struct Connection_end
{
    enum How {
        Closed_by_official, // Disconnect, a new Connect, or the exit
        Closed_by_server,   // the server closed it in order
        Reset,              // the server's side reset it
        Failed,             // an error ended it after it was made (a dead link among them)
        Not_made,           // the attempt never connected (refused, unreachable ...)
    };
    How how = Closed_by_official;
    int error_number = 0; // the Windows Sockets number of the error; 0 for a close
    QString error_text;   // the system's text of it
    int unsent = 0;       // messages given that were not sent (or not acknowledged) because of it

    // It had been made and the official did not end it: the alarm's business.
    bool Lost() const { return how == Closed_by_server || how == Reset || how == Failed; }
};
Q_DECLARE_METATYPE(Connection_end)

class Remote_connection : public QObject
{
    Q_OBJECT
public:
    explicit Remote_connection(QObject *parent = nullptr);

    // Command_connect_Click: closes whatever is there and connects to host.
    void Connect(const QString &host);
    // A reconnect attempt: as Connect, but a connection that is made is left alone. The
    // schedule on another thread may not have heard yet that its last attempt worked.
    void Attempt(const QString &host);
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
    Display_model &Display() const { return *display_; }
    int Socket_state() const; // 0..9, Winsock::State

signals:
    // Every state change with an event, and Update_TCP_status; not the state an error
    // leaves (the window reads it as it shows the error).
    void Status_changed(const QString &text, int state); // text: as Label_status shows it

    // For whoever keeps a record or sounds an alarm (emitted on the connection's thread).
    void Connect_asked(const QString &host);
    void Connected();
    void First_line_received(); // once a connection: its first whole line from the server
    // Once for each connection or attempt that ends, however it ended; a close of a
    // connection never made, with nothing unsent, is no end.
    void Ended(const Connection_end &end);
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
    // A block read, or (held) the piece of a line held back, let go as a line.
    void Handle_block(const QByteArray &block, bool held = false);
    void Flush_held();

    Tcp_client *winsock1_ = nullptr;
    Display_model *display_ = nullptr;
    QTimer *grace_timer_ = nullptr;
    Line_splitter splitter_;
    quint16 remote_port_ = Protocol::Remote_port;
    bool read_queued_ = false;
    bool was_connected_ = false; // since the last Connect: a loss is one only after this
    bool line_told_ = false;     // First_line_received, for this connection
    qint64 held_read_us_ = 0;    // when the held piece's last block was read
    QString heat_id_, heat_status_; // as the heat lines left them, also across connections
};

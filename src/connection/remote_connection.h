#pragma once
// The connection to the timing server and the start protocol, without a window: the
// window calls it (Connect, Disconnect, Start, Abort, Send, ...) and it tells what
// happened only by its signals. It owns the socket, the reassembly of received lines
// and the two message logs; everything it makes is its child, so it can be moved to
// a thread of its own whole.

#include "connection/protocol.h"
#include "message_log/class_rolling_text.h"

#include <QObject>

class QTimer;
class Tcp_client;

class Remote_connection : public QObject
{
    Q_OBJECT
public:
    explicit Remote_connection(QObject *parent = nullptr);

    void Create_logs(); // the two 10-line logs, at load

    // Command_connect_Click: closes whatever is there and connects to host.
    void Connect(const QString &host);
    // Command_disconnect_Click: closes (also when closed already).
    void Disconnect();
    // Command_start_Click and Command_abort_Click: the Start or Abort message.
    void Start();
    void Abort();
    // Command_send_Click: the free-text message, added to the To-goal log whether or
    // not it could be sent.
    void Send(const QString &text);
    // The hardware trigger's start: exactly what Start does; a failure is reported here.
    void Send_Start_Command();
    // Tells the state now (Status_changed), also when it changed without an event.
    void Update_TCP_status();
    // At program exit, whatever the state.
    void Close_socket();

    int Socket_state() const; // 0..9, Winsock::State
    const Class_rolling_text &Text_from_goal_log() const { return obj_text_from_goal_; }
    const Class_rolling_text &Text_to_goal_log() const { return obj_text_to_goal_; }

    // The server's port is fixed; tests and benchmarks point it at a server of their own.
    void Set_remote_port(quint16 port) { remote_port_ = port; }

    // How long a held unterminated piece waits for the rest of its line.
    static constexpr int Grace_ms = 200;
    // Tests on a loaded machine lengthen the wait so a slow second read is not taken for a pause.
    void Set_grace_ms(int ms);

    struct Receive_stats
    {
        qint64 bytes = 0;  // read from the socket
        qint64 blocks = 0; // handled to the end
        qint64 lines = 0;
        qint64 longest_handler_ns = 0;
    };
    const Receive_stats &Stats() const { return stats_; }

signals:
    void Status_changed(const QString &text, int state); // text: as Label_status shows it
    void Heat_id_changed(const QString &id);
    void Heat_status_changed(const QString &status);
    void From_goal_changed(const Class_rolling_text &log); // lines were received
    void To_goal_changed(const Class_rolling_text &log);   // a line was sent
    void Ring_requested();
    void Beep_requested();
    void Socket_error(int number, const QString &description);
    void Not_connected(); // a message was refused: nothing was sent

private:
    void Send_Data(const QString &text);
    void Winsock_Close();
    // The socket's events.
    void Winsock1_Connect();
    void Winsock1_Close();
    void Winsock1_Error(int number, const QString &description);
    void Winsock1_DataArrival();
    void Held_line_Timer();
    // Receiving.
    void Read_block();
    void Drain();
    void Handle_block(const QByteArray &block);
    void Flush_held();
    void Handle_lines(const QList<QByteArray> &lines);
    void Update_Heat(const QString &line);

    Tcp_client *winsock1_ = nullptr;
    QTimer *grace_timer_ = nullptr;
    Line_splitter splitter_;
    Class_rolling_text obj_text_to_goal_;
    Class_rolling_text obj_text_from_goal_;
    quint16 remote_port_ = Protocol::Remote_port;
    bool read_queued_ = false;
    Receive_stats stats_;
};

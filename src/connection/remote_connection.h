#pragma once
// The connection to the timing server and the start protocol, without a window: the
// window calls it (Connect, Disconnect, Start, Abort, Send, ...) and it tells what
// happened only by its signals. It owns the socket, the reassembly of received lines
// and the two message logs; everything it makes is its child, so it can be moved to
// a thread of its own whole (Connection_thread).
//
// Threads. Every command may be called from any thread: it runs on the connection's
// thread, at once when called there, otherwise queued behind the commands before it.
// What the window shows is not sent line by line: the connection keeps it (Display)
// and says once that it changed; the window takes it when it is ready to draw. So
// however much the server sends, nothing piles up between the two threads.

#include "connection/protocol.h"
#include "message_log/class_rolling_text.h"

#include <QMutex>
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

    // The server's port is fixed; tests and benchmarks point it at a server of their own.
    void Set_remote_port(quint16 port);

    // How long a held unterminated piece waits for the rest of its line.
    static constexpr int Grace_ms = 200;
    // Tests on a loaded machine lengthen the wait so a slow second read is not taken for a pause.
    void Set_grace_ms(int ms);

    // What the window shows, as the lines handled so far left it.
    struct Display
    {
        Class_rolling_text from_goal; // the last ten lines received
        Class_rolling_text to_goal;   // the last ten lines sent
        QString heat_id, heat_status; // as the heat lines left them; empty until one sets them
        // What changed since the window last took it. Ring and beep: at least one block
        // asked for them; a window that draws less often than blocks come sounds once.
        bool from_goal_changed = false, to_goal_changed = false, heat_changed = false;
        bool ring = false, beep = false;
    };
    // What to show now; the next change is told again (Display_changed). Any thread.
    Display Take_display();

    // Readable from any thread.
    int Socket_state() const; // 0..9, Winsock::State
    Class_rolling_text Text_from_goal_log() const;
    Class_rolling_text Text_to_goal_log() const;

    struct Receive_stats
    {
        qint64 bytes = 0;  // read from the socket
        qint64 blocks = 0; // handled to the end
        qint64 lines = 0;
        qint64 ring_blocks = 0, beep_blocks = 0;
        qint64 longest_handler_ns = 0;
    };
    Receive_stats Stats() const;

signals:
    void Status_changed(const QString &text, int state); // text: as Label_status shows it
    void Socket_error(int number, const QString &description);
    void Not_connected(); // a message was refused: nothing was sent
    // Something the window shows changed. Told once until Take_display is called.
    void Display_changed();

private:
    // Queues the call to the connection's thread when called from another; false
    // when the caller is on it and goes on itself.
    template <typename Call> bool Queued_elsewhere(const char *command, Call call);

    void Send_Data(const QString &text);
    void Winsock_Close();
    // The socket's events.
    void Winsock1_Connect();
    void Winsock1_Close();
    void Winsock1_Error(int number, const QString &description);
    void Winsock1_DataArrival();
    void Read_next_block(); // the rest of what waits, a block a turn
    void Held_line_Timer();
    // Receiving.
    void Read_block();
    void Drain();
    void Handle_block(const QByteArray &block);
    void Flush_held();
    void Handle_lines(const QList<QByteArray> &lines);
    using Heat = Protocol::Heat_fields; // what the heat lines of a block set
    static void Update_Heat(const QString &line, Heat &heat);
    // Changes what the window shows, and tells it once.
    template <typename Change> void Change_display(Change change);

    Tcp_client *winsock1_ = nullptr;
    QTimer *grace_timer_ = nullptr;
    Line_splitter splitter_;
    quint16 remote_port_ = Protocol::Remote_port;
    bool read_queued_ = false;

    // Shared with the thread that shows it.
    mutable QMutex shown_lock_;
    Display shown_;
    bool told_ = false; // Display_changed waits for Take_display
    Receive_stats stats_;
};

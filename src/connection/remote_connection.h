#pragma once
// The connection to the timing server and the start protocol on the main window:
// the Connect, Disconnect, Start, Abort and Send buttons, the status label, the
// heat display and the two message logs.

#include "connection/protocol.h"
#include "main_window/main_window_ui.h"
#include "message_log/class_rolling_text.h"

#include <QObject>
#include <functional>

class QTimer;
class Tcp_client;

class Remote_connection : public QObject
{
    Q_OBJECT
public:
    Remote_connection(const Main_window_ui &ui, QObject *parent);

    // Called when received data asks for the ring tone.
    void Set_ring(std::function<void()> ring) { ring_ = std::move(ring); }

    void Create_logs();           // the two 10-line logs, at load
    void Update_TCP_status();
    void Close_socket();          // at program exit, whatever the state
    void Send_Start_Command();    // exactly what the Start button does
    void item_linescroll_Click();

    // The window's handlers (the buttons call these).
    void Command_connect_Click();
    void Command_disconnect_Click();
    void Command_start_Click();
    void Command_abort_Click();
    void Command_send_Click();
    void Send_Data(const QString &text);

    int Socket_state() const;
    const Class_rolling_text &Text_from_goal_log() const { return obj_text_from_goal_; }

    // The server's port is fixed; tests and benchmarks point it at a server of their own.
    void Set_remote_port(quint16 port) { remote_port_ = port; }

    // How long a held unterminated piece waits for the rest of its line.
    static constexpr int Grace_ms = 200;
    // Tests on a loaded machine lengthen the wait so a slow second read is not taken for a pause.
    void Set_grace_ms(int ms);

    struct Receive_stats
    {
        qint64 bytes = 0;   // read from the socket
        qint64 blocks = 0;  // handled to the end
        qint64 lines = 0;
        qint64 longest_handler_ns = 0;
    };
    const Receive_stats &Stats() const { return stats_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Winsock_Close();
    void Winsock1_Connect();
    void Winsock1_Close();
    void Winsock1_Error(int number, const QString &description);
    void Winsock1_DataArrival();
    void Drain();
    void Handle_block(const QByteArray &block);
    void Flush_held();
    void Handle_lines(const QList<QByteArray> &lines);
    void Update_Heat(const QString &line);

    // Connects a signal to a handler that runs Guarded.
    template <typename Sender, typename Signal>
    void On(Sender *sender, Signal signal, const char *where, void (Remote_connection::*handler)());

    Main_window_ui ui_;
    std::function<void()> ring_;
    Tcp_client *winsock1_ = nullptr;
    QTimer *grace_timer_ = nullptr;
    Line_splitter splitter_;
    Class_rolling_text obj_text_to_goal_;
    Class_rolling_text obj_text_from_goal_;
    quint16 remote_port_ = Protocol::Remote_port;
    bool read_queued_ = false;
    Receive_stats stats_;
};

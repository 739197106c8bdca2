#include "connection/remote_connection.h"

#include "connection/tcp_client.h"
#include "connection/winsock_state.h"
#include "shared/failure.h"
#include "message_log/display_lines.h"
#include "shared/ansi_text.h"
#include "shared/message_box.h"
#include "shared/time_texts.h"
#include "shared/platform.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <stdexcept>

namespace {

// One read takes at most this much, so one handler stays short however much the
// server has sent; the rest is handled in the next turn of the event loop.
constexpr qint64 Max_block = 64 * 1024;

const QString Test_message = QStringLiteral("This is a test message from starter!");

// Keys that would type into a box: characters, Backspace, Enter, Escape and Ctrl
// with a letter. Moving keys (arrows, Tab, Delete, F-keys) are not typing.
bool Types_a_character(const QKeyEvent *key)
{
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return false;
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return true;
    default:
        break;
    }
    if (key->modifiers().testFlag(Qt::ControlModifier) && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z)
        return true;
    return !key->text().isEmpty();
}

} // namespace

template <typename Sender, typename Signal>
void Remote_connection::On(Sender *sender, Signal signal, const char *where, void (Remote_connection::*handler)())
{
    if (sender)
        connect(sender, signal, this, [this, where, handler] { Guarded(where, [this, handler] { (this->*handler)(); }); });
}

Remote_connection::Remote_connection(const Main_window_ui &ui, QObject *parent)
    : QObject(parent), ui_(ui)
{
    winsock1_ = new Tcp_client(this);
    On(winsock1_, &Tcp_client::Connected, "Winsock1_Connect", &Remote_connection::Winsock1_Connect);
    On(winsock1_, &Tcp_client::Closed, "Winsock1_Close", &Remote_connection::Winsock1_Close);
    On(winsock1_, &Tcp_client::Data_arrival, "Winsock1_DataArrival", &Remote_connection::Winsock1_DataArrival);
    // Queued: the modal error box then runs its event loop outside the socket's own signal.
    connect(
        winsock1_, &Tcp_client::Error, this,
        [this](int number, const QString &description) {
            Guarded("Winsock1_Error", [&] { Winsock1_Error(number, description); });
        },
        Qt::QueuedConnection);

    grace_timer_ = new QTimer(this);
    grace_timer_->setSingleShot(true);
    grace_timer_->setInterval(Grace_ms);
    On(grace_timer_, &QTimer::timeout, "Winsock1_DataArrival", &Remote_connection::Flush_held);

    On(ui_.Command_connect, &QPushButton::clicked, "Command_connect_Click", &Remote_connection::Command_connect_Click);
    On(ui_.Command_disconnect, &QPushButton::clicked, "Command_disconnect_Click",
       &Remote_connection::Command_disconnect_Click);
    On(ui_.Command_start, &QPushButton::clicked, "Command_start_Click", &Remote_connection::Command_start_Click);
    On(ui_.Command_abort, &QPushButton::clicked, "Command_abort_Click", &Remote_connection::Command_abort_Click);
    On(ui_.Command_send, &QPushButton::clicked, "Command_send_Click", &Remote_connection::Command_send_Click);

    for (QPlainTextEdit *log : {ui_.Text_to_goal, ui_.Text_from_goal}) {
        if (!log)
            continue;
        // Read-only also stops pasting and deleting, which the key filter alone would not.
        log->setReadOnly(true);
        log->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        log->installEventFilter(this);
    }
    if (ui_.Text_to_send) {
        // The right button is the test-message gesture, not a context menu.
        ui_.Text_to_send->setContextMenuPolicy(Qt::NoContextMenu);
        ui_.Text_to_send->installEventFilter(this);
    }
    for (QLabel *label : {ui_.Label_active_heat, ui_.Label_heat_status, ui_.Label_status})
        if (label)
            label->setTextFormat(Qt::PlainText); // the server's text is never markup
}

void Remote_connection::Set_grace_ms(int ms)
{
    grace_timer_->setInterval(ms);
}

void Remote_connection::Create_logs()
{
    obj_text_to_goal_ = Class_rolling_text();
    obj_text_to_goal_.Set_Lines(10);
    obj_text_from_goal_ = Class_rolling_text();
    obj_text_from_goal_.Set_Lines(10);
}

int Remote_connection::Socket_state() const
{
    return winsock1_->State();
}

// --- connection ---

void Remote_connection::Update_TCP_status()
{
    ui_.Label_status->setText(Winsock::Status_text(winsock1_->State()));
}

void Remote_connection::Close_socket()
{
    Guarded("Program_Exit", [this] {
        Flush_held();
        winsock1_->Close();
    });
}

void Remote_connection::Command_connect_Click()
{
    if (winsock1_->State() != Winsock::Closed)
        Winsock_Close();
    winsock1_->Connect(ui_.Text_host->text(), remote_port_);
    Update_TCP_status();
    ui_.Command_start->setFocus(Qt::OtherFocusReason);
}

void Remote_connection::Command_disconnect_Click()
{
    Winsock_Close();
}

void Remote_connection::Winsock_Close()
{
    Flush_held(); // a line the server left unterminated is still shown
    winsock1_->Close();
    Update_TCP_status();
}

void Remote_connection::Winsock1_Connect()
{
    Update_TCP_status();
}

void Remote_connection::Winsock1_Close()
{
    Drain();
    Winsock_Close();
}

void Remote_connection::Winsock1_Error(int number, const QString &description)
{
    Drain();
    Flush_held();
    Show_Message(QStringLiteral("winsock error! ") + QString::number(number) + QLatin1Char(' ') + description);
    Update_TCP_status();
}

// --- sending ---

void Remote_connection::Send_Data(const QString &text)
{
    if (winsock1_->State() != Winsock::Connected) {
        Show_Message(QStringLiteral("not Connected!"));
        return;
    }
    winsock1_->Send(Protocol::Frame(text));
}

void Remote_connection::Command_start_Click()
{
    Send_Data(Protocol::Start_text(Time_Stamp()));
}

void Remote_connection::Send_Start_Command()
{
    Guarded("Send_Start_Command", [this] { Command_start_Click(); });
}

void Remote_connection::Command_abort_Click()
{
    Send_Data(Protocol::Abort_text(Time_Stamp()));
    ui_.Command_start->setFocus(Qt::OtherFocusReason);
}

void Remote_connection::Command_send_Click()
{
    const QString message = Protocol::Free_text(Time_Stamp(), ui_.Text_to_send->text());
    Send_Data(message);
    obj_text_to_goal_.Add_Line(message);
    Display_Lines(obj_text_to_goal_, ui_.Text_to_goal);
    ui_.Command_start->setFocus(Qt::OtherFocusReason);
}

// --- receiving ---

void Remote_connection::Winsock1_DataArrival()
{
    read_queued_ = false;
    if (winsock1_->Bytes_waiting() <= 0)
        return;
    QElapsedTimer timer;
    timer.start();
    Handle_block(winsock1_->Read(Max_block));
    stats_.longest_handler_ns = std::max(stats_.longest_handler_ns, timer.nsecsElapsed());
    if (winsock1_->Bytes_waiting() > 0 && !read_queued_) {
        // More than one block waits: let the window breathe between blocks.
        read_queued_ = true;
        QMetaObject::invokeMethod(
            this, [this] { Guarded("Winsock1_DataArrival", [this] { Winsock1_DataArrival(); }); },
            Qt::QueuedConnection);
    }
}

void Remote_connection::Drain()
{
    // What arrived before the connection ended is handled before the socket goes.
    while (winsock1_->Bytes_waiting() > 0)
        Handle_block(winsock1_->Read(Max_block));
}

void Remote_connection::Handle_block(const QByteArray &block)
{
    if (block.isEmpty())
        return;
    stats_.bytes += block.size();
    Handle_lines(splitter_.Feed(block));
    if (splitter_.Holding())
        grace_timer_->start(); // again from now: the rest of the line may still come
    else
        grace_timer_->stop();

    if (Protocol::Block_rings(block) && ring_)
        ring_();
    if (Protocol::Block_beeps(block))
        Platform::Beep();

    ++stats_.blocks;
}

void Remote_connection::Flush_held()
{
    grace_timer_->stop();
    if (splitter_.Holding())
        Handle_lines({splitter_.Take_held()});
}

void Remote_connection::Handle_lines(const QList<QByteArray> &lines)
{
    if (lines.isEmpty())
        return;
    // The box is rewritten once for all lines of a block: it ends up showing what
    // rewriting it after each line would have shown.
    for (const QByteArray &bytes : lines) {
        const QString line = From_Ansi(bytes);
        obj_text_from_goal_.Add_Line(line);
        if (Protocol::Is_heat_line(line))
            Update_Heat(line);
    }
    stats_.lines += lines.size();
    Display_Lines(obj_text_from_goal_, ui_.Text_from_goal);
}

void Remote_connection::Update_Heat(const QString &line)
{
    // A short heat line sets what it has and leaves the rest as it was.
    const Protocol::Heat_fields heat = Protocol::Split_heat_line(line);
    if (heat.id)
        ui_.Label_active_heat->setText(*heat.id);
    if (heat.status)
        ui_.Label_heat_status->setText(*heat.status);
}

// --- the log boxes and the text to send ---

void Remote_connection::item_linescroll_Click()
{
    Guarded("item_linescroll_Click", [this] { Scroll_Log_Lines(ui_.Text_from_goal, -1); });
}

bool Remote_connection::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == ui_.Text_to_goal || watched == ui_.Text_from_goal) && event->type() == QEvent::KeyPress) {
        if (Types_a_character(static_cast<QKeyEvent *>(event))) {
            Platform::Beep();
            return true;
        }
    } else if (watched == ui_.Text_to_send && event->type() == QEvent::MouseButtonPress) {
        if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
            ui_.Text_to_send->setText(Test_message);
    }
    return QObject::eventFilter(watched, event);
}

#pragma once
// The main window of the remote starter: a view of Remote_starter. It hands the
// starter what the official does and shows what the starter tells;
// form_remotestart.cpp says what every control does.

#include "core/main_window/remote_starter.h"
#include "core/shared/message_box.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <memory>

class Box_queue;
class One_press_keys;
class QKeyEvent;
class QTimer;
struct Form_remotestart_ui;

class Form_remotestart : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form_remotestart(QWidget *parent = nullptr);
    ~Form_remotestart() override;

    // The start-up sequence; a failure in it is reported and the window still opens.
    // Afterwards Exit_requested tells whether it ended the program.
    void Form_Load();
    bool Exit_requested() const { return exit_requested_; }

    // Form > Exit: closes the connection, unloads every window, ends the event loop.
    void Program_Exit();

    // What the window shows and drives; tests and benchmarks reach its parts here.
    Remote_starter &Starter() const { return *starter_; }
    Connection_thread *Network() const { return &starter_->Network(); }
    Journal_hooks *Journal() const { return &starter_->Journal(); }
    Settings_writer *Settings() const { return &starter_->Settings(); }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Wire_controls();

    // The controls' handlers, named control_event.
    void Form_Click();
    void Form_Activate();
    void Timer1_Timer();
    void Timer_Keyb_event_Timer();
    void Command_connect_Click();
    void Command_disconnect_Click();
    void Label_status_Click();
    void Text_host_LostFocus();
    void Command_start_Click();
    void Command_abort_Click();
    void Command_send_Click();
    void Text_to_send_MouseDown();
    // True: the key is discarded.
    bool Text_to_goal_KeyPress(const QKeyEvent *key);
    bool Text_from_goal_KeyPress(const QKeyEvent *key);
    void Command_Phidget_Active_Click();
    void Menu_Form_Click();
    void item_about_Click();
    void item_linescroll_Click();
    void item_ring_Click();
    void item_reconnect_Click();
    void item_race_journal_Click();

    // Showing what the starter tells.
    void Schedule_display();
    void Show_display();
    void Show_not_connected();
    void Exit_connection(); // closes it at exit and says what was not sent

    // A box that could not be shown, another being open (Box_queue).
    void Show_not_shown(const Shown_message &message);
    // The status label's tooltip: each of these notes on a line of its own.
    enum Status_note { Screen_note, Journal_note, Message_note, Status_notes };
    void Set_status_note(Status_note which, const QString &text);

    // A lost connection: the alarm until a connection works again.
    void Show_loss_alarm(bool on);
    void Show_heat_stale(bool stale);

    std::unique_ptr<Form_remotestart_ui> ui_;
    Remote_starter *starter_ = nullptr; // a child, deleted first
    QTimer *display_timer_ = nullptr;
    Box_queue *boxes_ = nullptr;
    QString status_notes_[Status_notes];
    QElapsedTimer last_display_;
    bool exit_requested_ = false;
    bool exiting_ = false;
    bool shown_once_ = false;
    One_press_keys *one_press_ = nullptr; // also tells whether a click came from a key
};

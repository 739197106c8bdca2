#pragma once
// The main window: the remote starter. It shows what the connection and the trigger
// tell, and hands them what the official does; form_remotestart.cpp says what every
// control does.

#include "core/shared/message_box.h"

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <memory>
#include <optional>

class Connection_thread;
class Instance_lock;
class Journal_hooks;
class One_press_keys;
class QKeyEvent;
class QTimer;
class Race_journal;
class Reconnect_schedule;
class Ring_tone;
class Settings_writer;
class Start_trigger;
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

    // The connection the window drives, on a thread of its own (tests and benchmarks
    // reach it here): its door, its writer and what it gives the window to show.
    Connection_thread *Network() const { return network_.get(); }
    Journal_hooks *Journal() const { return journal_hooks_.get(); }
    Settings_writer *Settings() const { return settings_.get(); }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Wire_controls();
    void Init_program();

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

    // Showing what the connection and the trigger tell.
    void Schedule_display();
    void Show_display();
    void Show_status(); // Update_TCP_status: the state as it is now
    void Show_socket_error(int number, const QString &description, int unsent);
    void Show_not_connected();
    void Show_unsent(int unsent, bool queued = true);
    void Exit_connection(); // closes it at exit and says what was not sent
    void Check_Command_Phidget_Active();
    void Show_Phidget_attached(int serial);
    void Show_Phidget_detached();
    void Show_input_state(bool closed);
    void Open_journal();
    void Settings_write_failed(const QString &path, const QString &key, int error_number, const QString &error_text);

    // Boxes that no click or key of the official opened: shown from a queued call once
    // no click is in progress (see core/shared/message_box.h for which box waits for which).
    void Queue_box(const Shown_message &message, bool waits = false);
    void Show_queued_boxes();
    // Shows the box, or, while another is open, Show_not_shown.
    void Show_box(const Shown_message &message);
    void Show_not_shown(const Shown_message &message);
    // The status label's tooltip: each of these notes on a line of its own.
    enum Status_note { Screen_note, Journal_note, Message_note, Status_notes };
    void Set_status_note(Status_note which, const QString &text);

    // A lost connection: the alarm, and connecting again when the official asked for it.
    void Show_connected();
    void Show_working();
    void Show_connection_lost(bool error);
    void Show_loss_alarm(bool on);
    void Show_heat_stale(bool stale);

    std::unique_ptr<Form_remotestart_ui> ui_;
    std::unique_ptr<Race_journal> journal_; // from load, after the single-instance check
    std::unique_ptr<Journal_hooks> journal_hooks_;
    std::unique_ptr<Connection_thread> network_;
    std::unique_ptr<Settings_writer> settings_;
    std::optional<QString> stored_host_; // the address as the settings file has it, as far as known
    Start_trigger *trigger_ = nullptr;
    Ring_tone *ring_tone_ = nullptr;
    std::unique_ptr<Instance_lock> instance_lock_;
    Reconnect_schedule *reconnect_ = nullptr;
    std::optional<bool> loss_box_; // the error that ended the connection comes next: whether it has a box
    QTimer *display_timer_ = nullptr;
    struct Queued_box
    {
        Shown_message message;
        bool waits = false; // for a box that is open (the failed settings write)
    };
    QList<Queued_box> queued_boxes_;
    QTimer *box_timer_ = nullptr;
    QElapsedTimer click_wait_; // since a queued box began to wait for a click to end
    QString status_notes_[Status_notes];
    QElapsedTimer last_display_;
    bool exit_requested_ = false;
    bool exiting_ = false;
    bool shown_once_ = false;
    One_press_keys *one_press_ = nullptr; // also tells whether a click came from a key
};

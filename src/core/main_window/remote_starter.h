#pragma once
// The remote starter without its window: the race as the official runs it. It owns the
// connection (on a thread of its own), the race journal and what it records, the
// hardware trigger, the ring tone, the reconnect schedule and the settings the official
// changes. The window gives it the official's commands and shows what it tells.
//
// A start takes no step through it that it could delay: Start and Abort write at once
// through the writer on the caller's thread, and the trigger's start goes from the
// vendor library's thread straight to the writer.

#include "core/connection/display_model.h"
#include "core/connection/message_writer.h"
#include "core/shared/message_box.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class Connection_thread;
class Instance_lock;
class Journal_hooks;
class Race_journal;
class Reconnect_schedule;
class Ring_tone;
class Settings_writer;
class Start_trigger;
struct Connection_end;

class Remote_starter : public QObject
{
    Q_OBJECT
public:
    explicit Remote_starter(QObject *parent = nullptr);
    // The board first, so no start is asked of a connection that is going; then the
    // connection (the server sees it close), the settings still being written, and the
    // journal's last line.
    ~Remote_starter() override;

    // --- start-up, in this order ---
    // False: another copy of the program runs on this data folder.
    bool Take_instance_lock();
    // The program's folders, the journal, the logs, the stored settings, the ring tone
    // and the board (opened on a thread of its own).
    void Load();
    QString Stored_host() const { return stored_host_.value_or(QString()); }
    bool Reconnect_enabled() const { return reconnect_enabled_; }

    // --- the official's commands, on the window's thread ---
    void Connect(const QString &host);
    void Disconnect();
    Send_result Send_start(Message_source source);
    Send_result Send_abort(Message_source source);
    // A line of free text, as typed, goes with the time in front; the line is returned
    // for the To-goal log (Log_sent), where it shows whether or not it went.
    struct Sent_text
    {
        QString line;
        Send_result result = Send_result::Sent;
    };
    Sent_text Send_text(const QString &typed, Message_source source);
    void Log_sent(const QString &line);
    // The host as the official left it: kept in the settings when it changed, off this
    // thread (a click that moved the focus waits for no disk).
    void Set_host(const QString &host);
    // "Reconnect automatically", kept in the settings.
    void Set_reconnect(bool on);
    void Set_armed(bool armed);
    bool Armed() const;
    void Play_ring();
    // Status_changed with the state as it is now.
    void Update_status();
    // What there is to draw, taken: the next change is told again (Shown_changed).
    Display_model::Shown Take_shown();
    // A message no box could show (another was open): on record.
    void Record_not_shown(const QString &text);
    QString Journal_path() const; // empty without a journal
    // The exit: the connection closes at once. Returns what to tell the official of
    // messages that were not sent, if any.
    std::optional<Shown_message> Close_at_exit();

    // What the official is told when a message finds no connection.
    static Shown_message Not_connected_message();

    // Tests and benchmarks reach the parts here.
    Connection_thread &Network() const { return *network_; }
    Journal_hooks &Journal() const { return *journal_hooks_; }
    Settings_writer &Settings() const { return *settings_; }

signals:
    void Status_changed(const QString &text); // as Label_status shows it
    void Shown_changed();                     // there is something new to take (Take_shown)
    // On: a lost connection began an outage. Off: a connection works again, or the
    // official disconnected.
    void Alarm_changed(bool on);
    // The heat shown is from before a loss (greyed), or fresh again.
    void Heat_stale_changed(bool stale);
    // A box no click or key of the official opened. waits: while another box is open it
    // waits for it, rather than being told as not shown.
    void Message(const Shown_message &message, bool waits);
    void Journal_failing(const QString &text); // the journal cannot be written
    // The board.
    void Board_attached(int serial);
    void Board_detached();
    void Input_state_changed(bool closed);
    void Armed_changed(bool armed);

private:
    void Open_journal();
    void Connection_ended(const Connection_end &end);
    bool Connection_lost(); // true when it begins an outage
    void Tell_error(const Connection_end &end, bool box);
    void Tell_unsent(int unsent);
    void Write_failed(const QString &path, const QString &key, int error_number, const QString &error_text);

    // Destroyed in the reverse order: the journal outlives what records into it, and
    // the lock all of them.
    std::unique_ptr<Instance_lock> instance_lock_;
    std::unique_ptr<Race_journal> journal_; // from Load, after the single-instance check
    std::unique_ptr<Journal_hooks> journal_hooks_;
    std::unique_ptr<Connection_thread> network_;
    std::unique_ptr<Settings_writer> settings_;
    Start_trigger *trigger_ = nullptr;
    Ring_tone *ring_tone_ = nullptr;
    Reconnect_schedule *reconnect_ = nullptr;
    std::optional<QString> stored_host_; // as the settings file has it, as far as known
    bool reconnect_enabled_ = false;
    bool closing_ = false; // the exit says what was not sent itself
};

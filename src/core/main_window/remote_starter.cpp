#include "core/main_window/remote_starter.h"

#include "core/connection/connection_thread.h"
#include "core/connection/protocol.h"
#include "core/connection/reconnect_schedule.h"
#include "core/connection/remote_connection.h"
#include "core/connection/winsock_state.h"
#include "core/journal/race_journal.h"
#include "core/main_window/journal_hooks.h"
#include "core/shared/globals.h"
#include "core/shared/ini_values.h"
#include "core/shared/settings_writer.h"
#include "core/shared/single_instance.h"
#include "core/shared/time_texts.h"
#include "core/start_trigger/ring_tone.h"
#include "core/start_trigger/start_trigger.h"

#include <QSysInfo>

namespace {

// A box of the application's title, with an OK button and no icon.
Shown_message Box(const QString &text)
{
    return {text, Message_icon::None, QString()};
}

Shown_message Unsent_message(int unsent)
{
    return Box(unsent == 1 ? QStringLiteral("1 message was not sent.")
                           : QStringLiteral("%1 messages were not sent.").arg(unsent));
}

const QString Settings_section = QStringLiteral("settings");
const QString Host_key = QStringLiteral("host_ip");
const QString Reconnect_key = QStringLiteral("auto_reconnect");

} // namespace

Remote_starter::Remote_starter(QObject *parent) : QObject(parent)
{
    network_ = std::make_unique<Connection_thread>();
    settings_ = std::make_unique<Settings_writer>();
    journal_hooks_ = std::make_unique<Journal_hooks>(); // told of every message from the first
    network_->Writer().Set_observer(journal_hooks_.get());
    trigger_ = new Start_trigger(this);
    trigger_->Set_writer(&network_->Writer());
    ring_tone_ = new Ring_tone(this);
    reconnect_ = new Reconnect_schedule(this);

    // The connection's signals come queued, in the order it emitted them.
    const Remote_connection *connection = network_->Connection();
    connect(connection, &Remote_connection::Status_changed, this,
            [this](const QString &text) { emit Status_changed(text); });
    connect(connection, &Remote_connection::Ended, this, &Remote_starter::Connection_ended);
    connect(&network_->Display(), &Display_model::Changed, this, &Remote_starter::Shown_changed);
    connect(settings_.get(), &Settings_writer::Write_failed, this, &Remote_starter::Write_failed);

    // A loss is an alarm until a connection works again; the schedule connects again when asked to.
    connect(connection, &Remote_connection::Connected, reconnect_, &Reconnect_schedule::Connected);
    connect(connection, &Remote_connection::First_line_received, reconnect_, &Reconnect_schedule::Line_received);
    connect(reconnect_, &Reconnect_schedule::Attempt_due, this, [this](const QString &host) { network_->Attempt(host); });
    connect(reconnect_, &Reconnect_schedule::Working, this, [this] {
        journal_hooks_->Connection_working();
        emit Alarm_changed(false);
        emit Heat_stale_changed(false);
    });

    // An armed input change goes straight to the writer; only a refusal comes here.
    connect(trigger_, &Start_trigger::Start_refused, this, [this] { emit Message(Not_connected_message(), false); });
    connect(trigger_, &Start_trigger::Armed_changed, this, &Remote_starter::Armed_changed);
    connect(trigger_, &Start_trigger::Attached, this, &Remote_starter::Board_attached);
    connect(trigger_, &Start_trigger::Detached, this, &Remote_starter::Board_detached);
    connect(trigger_, &Start_trigger::Input_state_changed, this, &Remote_starter::Input_state_changed);
}

Remote_starter::~Remote_starter()
{
    delete trigger_;
    trigger_ = nullptr;
    network_.reset();
    settings_.reset(); // what it still writes, for 2 s at most
    if (journal_) {
        journal_hooks_->Flush();
        journal_->Record(Race_journal::Now(), QStringLiteral("ended"));
    }
    journal_.reset(); // written and synced before the process goes
}

// --- start-up ---

bool Remote_starter::Take_instance_lock()
{
    bool acquired = false;
    if ((instance_lock_ = Instance_lock::Take_early(acquired)))
        return acquired;
    instance_lock_ = std::make_unique<Instance_lock>();
    return instance_lock_->Try_acquire();
}

void Remote_starter::Load()
{
    Globals::Init_program();
    Open_journal();
    network_->Display().Create_logs();
    stored_host_ = Read_Ini_Value(Settings_section, Host_key, Globals::Ini_file_path, QStringLiteral("127.0.0.1"));
    reconnect_enabled_ =
        Read_Ini_Value(Settings_section, Reconnect_key, Globals::Ini_file_path, QStringLiteral("0")) == QLatin1String("1");
    reconnect_->Set_enabled(reconnect_enabled_);
    ring_tone_->Load_Ringtone();
    trigger_->Open_InterfaceKit();
}

// The race journal, in the data folder, from before the board and the connection can
// tell anything. A journal that cannot be written says so (Journal_failing, and on
// stderr): never a box during a race.
void Remote_starter::Open_journal()
{
    journal_ = std::make_unique<Race_journal>(Globals::User_appdata_path);
    connect(journal_.get(), &Race_journal::Cannot_write, this, &Remote_starter::Journal_failing);
    journal_->Record(Race_journal::Now(), QStringLiteral("started"),
                     {QStringLiteral("version ") + Globals::Program_version,
                      QStringLiteral("host ") + QSysInfo::machineHostName()});
    journal_hooks_->Attach(*journal_, *network_->Connection(), *trigger_);
}

// --- the official's commands ---

void Remote_starter::Connect(const QString &host)
{
    reconnect_->Official_connect(host);
    network_->Connect(host);
}

void Remote_starter::Disconnect()
{
    reconnect_->Official_disconnect();
    emit Alarm_changed(false);
    network_->Disconnect();
}

Send_result Remote_starter::Send_start(Message_source source)
{
    return network_->Writer().Start(source);
}

Send_result Remote_starter::Send_abort(Message_source source)
{
    return network_->Writer().Abort(source);
}

Remote_starter::Sent_text Remote_starter::Send_text(const QString &typed, Message_source source)
{
    Sent_text sent{Protocol::Free_text(Time_Stamp(), typed)};
    sent.result = network_->Writer().Send(Message_kind::Text, sent.line, source);
    return sent;
}

void Remote_starter::Log_sent(const QString &line)
{
    network_->Display().Add_sent_line(line);
}

void Remote_starter::Set_host(const QString &host)
{
    if (stored_host_ == host)
        return;
    stored_host_ = host;
    settings_->Write(Globals::Ini_file_path, Settings_section, Host_key, host);
}

void Remote_starter::Set_reconnect(bool on)
{
    reconnect_enabled_ = on;
    reconnect_->Set_enabled(on);
    settings_->Write(Globals::Ini_file_path, Settings_section, Reconnect_key,
                     on ? QStringLiteral("1") : QStringLiteral("0"));
}

void Remote_starter::Write_failed(const QString &path, const QString &key, int error_number,
                                  const QString &error_text)
{
    if (key == Host_key)
        stored_host_.reset(); // the next change of the host tries again
    emit Message(Write_failed_message(path, error_number, error_text), true);
}

void Remote_starter::Set_armed(bool armed)
{
    trigger_->Set_armed(armed);
}

bool Remote_starter::Armed() const
{
    return trigger_->Phidget_Armed();
}

void Remote_starter::Play_ring()
{
    ring_tone_->Play_Ring();
}

void Remote_starter::Update_status()
{
    emit Status_changed(Winsock::Status_text(network_->Socket_state()));
}

Display_model::Shown Remote_starter::Take_shown()
{
    Display_model::Shown shown = network_->Display().Take();
    // A heat line read before a loss and taken after it is still stale.
    if (shown.heat_changed && network_->Socket_state() == Winsock::Connected)
        emit Heat_stale_changed(false);
    return shown;
}

void Remote_starter::Record_not_shown(const QString &text)
{
    if (journal_)
        journal_->Record(Race_journal::Now(), QStringLiteral("message"), {QStringLiteral("not shown"), text});
}

QString Remote_starter::Journal_path() const
{
    return journal_ ? journal_->Path() : QString();
}

std::optional<Shown_message> Remote_starter::Close_at_exit()
{
    closing_ = true;
    reconnect_->Official_disconnect();
    const int unsent = network_->Close();
    if (unsent <= 0)
        return std::nullopt;
    return Unsent_message(unsent);
}

Shown_message Remote_starter::Not_connected_message()
{
    return Box(QStringLiteral("not Connected!"));
}

// --- a connection that ends ---

void Remote_starter::Connection_ended(const Connection_end &end)
{
    switch (end.how) {
    case Connection_end::Closed_by_official:
        if (!closing_)
            Tell_unsent(end.unsent);
        return;
    case Connection_end::Closed_by_server: // no error: the box says only what was not sent
        Tell_unsent(end.unsent);
        Connection_lost();
        return;
    case Connection_end::Reset:
    case Connection_end::Failed:
        Tell_error(end, Connection_lost());
        return;
    case Connection_end::Not_made:
        // The schedule's attempts show their status only; a Connect of the official's own has a box.
        Tell_error(end, !reconnect_->Attempting());
        return;
    }
}

// Lost without the official: an alarm until a connection works again. The attempts that
// fail meanwhile change the status only, so an outage has one box.
bool Remote_starter::Connection_lost()
{
    const bool begins = reconnect_->Connection_lost();
    if (begins) {
        emit Alarm_changed(true);
        emit Heat_stale_changed(true);
    }
    return begins;
}

void Remote_starter::Tell_error(const Connection_end &end, bool box)
{
    Update_status(); // the state the error leaves, before its box
    if (!box)
        return;
    QString text = QStringLiteral("winsock error! ") + QString::number(end.error_number) + QLatin1Char(' ') + end.error_text;
    if (end.unsent > 0)
        text += QLatin1Char(' ') + Unsent_message(end.unsent).text;
    emit Message(Box(text), false);
}

void Remote_starter::Tell_unsent(int unsent)
{
    if (unsent > 0)
        emit Message(Unsent_message(unsent), false);
}

#include "desktop/main_window/form_remotestart.h"

#include "desktop/about/do_about.h"
#include "core/connection/connection_display.h"
#include "core/connection/connection_thread.h"
#include "core/connection/message_writer.h"
#include "core/connection/protocol.h"
#include "core/connection/reconnect_schedule.h"
#include "core/connection/remote_connection.h"
#include "core/connection/winsock_state.h"
#include "core/journal/race_journal.h"
#include "desktop/main_window/form_remotestart_ui.h"
#include "core/main_window/journal_hooks.h"
#include "desktop/main_window/one_press_keys.h"
#include "desktop/main_window/shape_circle.h"
#include "desktop/main_window/start_button.h"
#include "core/message_log/class_rolling_text.h"
#include "desktop/message_log/display_lines.h"
#include "desktop/shared/forms.h"
#include "core/shared/facility.h"
#include "core/shared/failure.h"
#include "core/shared/globals.h"
#include "core/shared/ini_values.h"
#include "core/shared/keyboard.h"
#include "core/shared/message_box.h"
#include "core/shared/platform.h"
#include "core/shared/screen_saver.h"
#include "core/shared/settings_writer.h"
#include "core/shared/single_instance.h"
#include "core/shared/time_texts.h"
#include "core/start_trigger/ring_tone.h"
#include "core/start_trigger/start_trigger.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>

#include <utility>

namespace {

const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

const QString Test_message = QStringLiteral("This is a test message from starter!");

// A lost connection sounds this many beeps, apart enough to be heard as several, so it
// is not taken for the one beep a "#" from the server asks for.
constexpr int Loss_beeps = 3;
constexpr int Loss_beep_gap_ms = 300;

// A queued box waiting for a click in progress looks again this often; after
// Click_wait_ms it waits no longer (a release the window never saw must not hold it back).
constexpr int Box_retry_ms = 20;
constexpr int Click_wait_ms = 5000;

// What the server sends is drawn at most once in this time, however fast it comes, so
// the window's thread stays free for the official's clicks (and a start never waits).
constexpr int Frame_ms = 16;

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

QString Unsent_text(int unsent)
{
    return unsent == 1 ? QStringLiteral("1 message was not sent.")
                       : QStringLiteral("%1 messages were not sent.").arg(unsent);
}

// A box of the application's title, with an OK button and no icon.
Shown_message Box(const QString &text)
{
    return {text, Message_icon::None, QString()};
}

// The logs cannot be typed into: a key that would type is discarded with a beep.
bool Refuse_typing(const QKeyEvent *key)
{
    if (!Types_a_character(key))
        return false;
    Platform::Beep();
    return true;
}

} // namespace

Form_remotestart::Form_remotestart(QWidget *parent)
    : QMainWindow(parent), ui_(std::make_unique<Form_remotestart_ui>())
{
    setObjectName(QStringLiteral("Form_remotestart"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    setWindowTitle(Globals::Program_title);
    // The program icon is this window's alone: the About and error windows have none.
    setWindowIcon(QIcon(QStringLiteral(":/icons/velantra.png")));
    ui_->Setup(this);

    // The window owns the connection, the trigger and the ring tone for its whole life;
    // the connection runs on a thread of its own.
    network_ = std::make_unique<Connection_thread>();
    settings_ = std::make_unique<Settings_writer>();
    journal_hooks_ = std::make_unique<Journal_hooks>(); // told of every message from the first
    network_->Writer().Set_observer(journal_hooks_.get());
    trigger_ = new Start_trigger(this);
    trigger_->Set_writer(&network_->Writer());
    ring_tone_ = new Ring_tone(this);
    reconnect_ = new Reconnect_schedule(this);
    display_timer_ = new QTimer(this);
    display_timer_->setSingleShot(true);
    box_timer_ = new QTimer(this);
    box_timer_->setSingleShot(true);
    Wire_controls();

    Forms::Register_Form(this);
}

Form_remotestart::~Form_remotestart()
{
    qApp->disconnect(this); // the focus rule would reach for controls already going
    Facility<Screen_saver>::Get().Uninhibit(); // held while the window is loaded
    // The board first, so no start is asked of a connection that is going; then the
    // connection, which closes the socket and ends its thread.
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

// What every control does, and where what the connection and the trigger tell is shown.
void Form_remotestart::Wire_controls()
{
    Form_remotestart_ui &ui = *ui_;
    // The window itself: Form_Click and Form_Activate (eventFilter, event). Every
    // button answers Space, Return and keypad Enter, once per press.
    ui.client_area->installEventFilter(this);
    one_press_ = new One_press_keys(this);
    for (QPushButton *button : {ui.Command_start, ui.Command_abort, ui.Command_connect, ui.Command_disconnect,
                                ui.Command_send, ui.Command_Phidget_Active})
        one_press_->Watch(button);
    // The keyboard never loses the window: when the control with the focus is hidden or
    // disabled (the arm button on a detach), Start takes it.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        if (old && old->window() == this && isVisible() && !exiting_ && (!old->isVisible() || !old->isEnabled())
            && (!now || now->window() == this))
            ui_->Command_start->setFocus(Qt::OtherFocusReason);
    });

    // PC time.
    connect(ui.Timer1, &QTimer::timeout, this, &Form_remotestart::Timer1_Timer);
    ui.Timer1->start();

    // Connection. A click on Label_status and the focus leaving Text_host: eventFilter.
    connect(ui.Command_connect, &QPushButton::clicked, this, &Form_remotestart::Command_connect_Click);
    connect(ui.Command_disconnect, &QPushButton::clicked, this, &Form_remotestart::Command_disconnect_Click);
    ui.Label_status->installEventFilter(this);
    ui.Text_host->installEventFilter(this);
    const Remote_connection *connection = network_->Connection();
    connect(connection, &Remote_connection::Status_changed, ui.Label_status, &QLabel::setText);
    connect(connection, &Remote_connection::Socket_error, this, &Form_remotestart::Show_socket_error);
    connect(settings_.get(), &Settings_writer::Write_failed, this, &Form_remotestart::Settings_write_failed);
    connect(box_timer_, &QTimer::timeout, this, &Form_remotestart::Show_queued_boxes);
    connect(connection, &Remote_connection::Closed_by_official, this, [this](int unsent) {
        if (!exiting_) // the exit says it itself
            Show_unsent(unsent);
    });
    connect(connection, &Remote_connection::Lost, this,
            [this](Remote_connection::Loss how, int, const QString &, int unsent) {
                if (how == Remote_connection::Peer_closed) // an error's box says it
                    Show_unsent(unsent);
            });
    // A loss is an alarm until a connection works again; the schedule connects again when asked to.
    connect(connection, &Remote_connection::Connected, this, &Form_remotestart::Show_connected);
    connect(connection, &Remote_connection::First_line_received, reconnect_, &Reconnect_schedule::Line_received);
    connect(connection, &Remote_connection::Lost, this, [this](Remote_connection::Loss how) {
        Show_connection_lost(how != Remote_connection::Peer_closed);
    });
    connect(reconnect_, &Reconnect_schedule::Working, this, &Form_remotestart::Show_working);
    connect(reconnect_, &Reconnect_schedule::Attempt_due, this, [this](const QString &host) { network_->Connect(host); });

    // Active heat.
    // Start goes when the click is complete, before the button repaints (Start_button).
    connect(static_cast<Start_button *>(ui.Command_start), &Start_button::Click_completed, this,
            &Form_remotestart::Command_start_Click);
    connect(ui.Command_abort, &QPushButton::clicked, this, &Form_remotestart::Command_abort_Click);

    // From goal and to goal. Keys typed into either log and the right button on
    // Text_to_send: eventFilter.
    connect(ui.Command_send, &QPushButton::clicked, this, &Form_remotestart::Command_send_Click);
    ui.Text_to_goal->installEventFilter(this);
    ui.Text_from_goal->installEventFilter(this);
    ui.Text_to_send->installEventFilter(this);

    // The logs, the heat and the sounds the server asks for: drawn from what the
    // connection holds when the window gets to it (Show_display).
    connect(&network_->Display(), &Connection_display::Changed, this, &Form_remotestart::Schedule_display);
    connect(display_timer_, &QTimer::timeout, this, &Form_remotestart::Show_display);

    // Phidget. An armed input change goes straight to the writer: no window is in the
    // way of a start; only a refusal comes here to be shown.
    connect(ui.Command_Phidget_Active, &QPushButton::clicked, this, &Form_remotestart::Command_Phidget_Active_Click);
    connect(trigger_, &Start_trigger::Start_refused, this,
            [this] { Queue_box(Box(QStringLiteral("not Connected!"))); });
    connect(trigger_, &Start_trigger::Armed_changed, this, &Form_remotestart::Check_Command_Phidget_Active);
    connect(trigger_, &Start_trigger::Attached, this, &Form_remotestart::Show_Phidget_attached);
    connect(trigger_, &Start_trigger::Detached, this, &Form_remotestart::Show_Phidget_detached);
    connect(trigger_, &Start_trigger::Input_state_changed, this, &Form_remotestart::Show_input_state);
    connect(ui.Timer_Keyb_event, &QTimer::timeout, this, &Form_remotestart::Timer_Keyb_event_Timer);
    ui.Timer_Keyb_event->start();

    // Menus. The moment the Form menu opens stands for the click on its title.
    connect(ui.Menu_Form, &QMenu::aboutToShow, this, &Form_remotestart::Menu_Form_Click);
    connect(ui.item_exit, &QAction::triggered, this, &Form_remotestart::Program_Exit);
    connect(ui.item_about, &QAction::triggered, this, &Form_remotestart::item_about_Click);
    connect(ui.item_linescroll, &QAction::triggered, this, &Form_remotestart::item_linescroll_Click);
    connect(ui.item_ring, &QAction::triggered, this, &Form_remotestart::item_ring_Click);
    connect(ui.item_race_journal, &QAction::triggered, this, &Form_remotestart::item_race_journal_Click);
    connect(ui.item_reconnect, &QAction::triggered, this, &Form_remotestart::item_reconnect_Click);
}

// --- start-up and shutdown ---

void Form_remotestart::Form_Load()
{
    // A failure here is reported and the window still opens.
    Guarded(__func__, [this] {
        instance_lock_ = std::make_unique<Instance_lock>();
        if (!instance_lock_->Try_acquire()) {
            Show_Message(QStringLiteral("A previous instance of this program is already running!"));
            Program_Exit();
            return;
        }
        Init_program();
        Open_journal();
        setWindowTitle(Globals::Program_title + QLatin1Char(' ') + Globals::Program_version);
        Check_Command_Phidget_Active();
        network_->Display().Create_logs();
        ui_->Text_host->setText(Read_Ini_Value(QStringLiteral("settings"), QStringLiteral("host_ip"),
                                               Globals::Ini_file_path, QStringLiteral("127.0.0.1")));
        stored_host_ = ui_->Text_host->text();
        const bool reconnect = Read_Ini_Value(QStringLiteral("settings"), QStringLiteral("auto_reconnect"),
                                              Globals::Ini_file_path, QStringLiteral("0")) == QLatin1String("1");
        ui_->item_reconnect->setChecked(reconnect);
        reconnect_->Set_enabled(reconnect);
        ring_tone_->Load_Ringtone();
        trigger_->Open_InterfaceKit();
        // Where the screen may blank after all, the status label says why when pointed at.
        Facility<Screen_saver>::Get().Inhibit(Globals::Program_title,
                                              QStringLiteral("Starting races: the screen stays on"), this,
                                              [self = QPointer<Form_remotestart>(this)](const QString &why) {
                                                  if (self)
                                                      self->Set_status_note(Screen_note, why);
                                              });
        ui_->Command_start->setFocus();
    });
}

void Form_remotestart::Init_program()
{
    Globals::Init_program();
}

// The race journal, in the data folder, from before the board and the connection can
// tell anything. A journal that cannot be written says so on the status label's tooltip
// (and on stderr): never a box during a race.
void Form_remotestart::Open_journal()
{
    journal_ = std::make_unique<Race_journal>(Globals::User_appdata_path);
    connect(journal_.get(), &Race_journal::Cannot_write, this,
            [this](const QString &text) { Set_status_note(Journal_note, text); });
    journal_->Record(Race_journal::Now(), QStringLiteral("started"),
                     {QStringLiteral("version ") + Globals::Program_version,
                      QStringLiteral("host ") + QSysInfo::machineHostName()});
    journal_hooks_->Attach(*journal_, *network_->Connection(), *trigger_);
}

void Form_remotestart::Program_Exit()
{
    exiting_ = true;
    reconnect_->Official_disconnect();
    Exit_connection();
    Unload_All_Forms();
    exit_requested_ = true;
    QCoreApplication::exit(0);
}

void Form_remotestart::closeEvent(QCloseEvent *e)
{
    if (!exiting_) {
        // The close box ends the program: the socket goes with the window, and the hidden
        // About and error windows are unloaded too so no windowless process lingers.
        exiting_ = true;
        reconnect_->Official_disconnect();
        Exit_connection();
        const QList<QWidget *> forms = Forms::Loaded_Forms();
        for (auto it = forms.crbegin(); it != forms.crend(); ++it)
            if (*it != this)
                Forms::Unload_Form(*it);
    }
    e->accept();
}

void Form_remotestart::Exit_connection()
{
    Guarded(__func__, [this] { Show_unsent(network_->Close(), false); });
}

// --- the window ---

void Form_remotestart::Form_Click()
{
    ui_->Command_start->setFocus(Qt::MouseFocusReason);
}

void Form_remotestart::Form_Activate()
{
    Timer1_Timer(); // clock and status current at once
}

void Form_remotestart::Timer1_Timer()
{
    Guarded(__func__, [this] {
        ui_->Label_PC_Time->setText(Time_Stamp().left(5));
        Show_status();
    });
}

bool Form_remotestart::event(QEvent *e)
{
    // Form_Activate. The first show counts too, for desktops that do not activate a new window.
    if (e->type() == QEvent::WindowActivate || (e->type() == QEvent::Show && !shown_once_)) {
        shown_once_ = true;
        Form_Activate();
    }
    return QMainWindow::event(e);
}

bool Form_remotestart::eventFilter(QObject *watched, QEvent *e)
{
    const Form_remotestart_ui &ui = *ui_;
    if (watched == ui.client_area && e->type() == QEvent::MouseButtonPress) {
        // Form_Click is a click on the bare window only. A frame or a label passes its
        // click up to here too, but that is its own click: the focus stays where it was,
        // or the next Space typed into a text box would give a false start.
        if (!ui.client_area->childAt(static_cast<QMouseEvent *>(e)->position().toPoint()))
            Form_Click();
    } else if (watched == ui.Label_status && e->type() == QEvent::MouseButtonRelease) {
        Label_status_Click();
    } else if (watched == ui.Text_host && e->type() == QEvent::FocusOut) {
        // Only a move of the focus inside the window counts, not a menu or another window
        // taking it (a failed write's own message box would otherwise write again).
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !exiting_)
            Text_host_LostFocus();
    } else if (watched == ui.Text_to_goal && e->type() == QEvent::KeyPress) {
        if (Text_to_goal_KeyPress(static_cast<QKeyEvent *>(e)))
            return true;
    } else if (watched == ui.Text_from_goal && e->type() == QEvent::KeyPress) {
        if (Text_from_goal_KeyPress(static_cast<QKeyEvent *>(e)))
            return true;
    } else if (watched == ui.Text_to_send && e->type() == QEvent::MouseButtonPress) {
        if (static_cast<QMouseEvent *>(e)->button() == Qt::RightButton)
            Text_to_send_MouseDown();
    }
    return QMainWindow::eventFilter(watched, e);
}

// --- connection ---

void Form_remotestart::Command_connect_Click()
{
    Guarded(__func__, [this] {
        reconnect_->Official_connect(ui_->Text_host->text());
        network_->Connect(ui_->Text_host->text());
        ui_->Command_start->setFocus(Qt::OtherFocusReason); // Start is focused once connected
    });
}

void Form_remotestart::Command_disconnect_Click()
{
    Guarded(__func__, [this] {
        reconnect_->Official_disconnect();
        Show_loss_alarm(false);
        network_->Disconnect();
    });
}

void Form_remotestart::Label_status_Click()
{
    Guarded(__func__, [this] { Show_status(); });
}

void Form_remotestart::Text_host_LostFocus()
{
    // Only a change is written, and not here: the click that moved the focus (a Start)
    // waits for no disk.
    const QString host = ui_->Text_host->text();
    if (stored_host_ == host)
        return;
    stored_host_ = host;
    settings_->Write(Globals::Ini_file_path, QStringLiteral("settings"), QStringLiteral("host_ip"), host);
}

void Form_remotestart::Settings_write_failed(const QString &path, const QString &key, int error_number,
                                             const QString &error_text)
{
    if (key == QLatin1String("host_ip"))
        stored_host_.reset(); // the next loss of focus tries again
    Queue_box(Write_failed_message(path, error_number, error_text), true);
}

void Form_remotestart::Show_status()
{
    ui_->Label_status->setText(Winsock::Status_text(network_->Socket_state()));
}

void Form_remotestart::Show_socket_error(int number, const QString &description, int unsent)
{
    // One box per outage: the error that began it has one, the failed attempts that
    // follow show their status only. A Connect of the official's own that fails has one.
    const bool box = loss_box_ ? *loss_box_ : !reconnect_->Attempting();
    loss_box_.reset();
    Show_status();
    if (box) {
        QString text = QStringLiteral("winsock error! ") + QString::number(number) + QLatin1Char(' ') + description;
        if (unsent > 0)
            text += QLatin1Char(' ') + Unsent_text(unsent);
        Queue_box(Box(text));
    }
}

void Form_remotestart::Show_unsent(int unsent, bool queued)
{
    if (unsent <= 0)
        return;
    if (queued)
        Queue_box(Box(Unsent_text(unsent)));
    else
        Show_box(Box(Unsent_text(unsent)));
}

// --- message boxes ---

void Form_remotestart::Queue_box(const Shown_message &message, bool waits)
{
    queued_boxes_.append({message, waits});
    if (!box_timer_->isActive())
        box_timer_->start(0);
}

void Form_remotestart::Show_queued_boxes()
{
    Guarded(__func__, [this] {
        // The click in progress does its work first: a box opened now would take its
        // release, and the click (a Start) would be lost.
        if (QGuiApplication::mouseButtons() != Qt::NoButton) {
            if (!click_wait_.isValid())
                click_wait_.start();
            if (!click_wait_.hasExpired(Click_wait_ms)) {
                box_timer_->start(Box_retry_ms);
                return;
            }
        }
        click_wait_.invalidate();
        // A box shown here runs its own loop, in which this runs again for what comes
        // meanwhile: that finds the box open, and only a waiting box stays queued.
        for (qsizetype i = 0; i < queued_boxes_.size();) {
            if (queued_boxes_.at(i).waits && Message_box_open())
                ++i;
            else
                Show_box(queued_boxes_.takeAt(i).message);
        }
        if (!queued_boxes_.isEmpty())
            box_timer_->start(Box_retry_ms);
    });
}

void Form_remotestart::Show_box(const Shown_message &message)
{
    if (!Show_Message(message))
        Show_not_shown(message);
}

// Another box is open: this message is on record and in sight, without a second box.
void Form_remotestart::Show_not_shown(const Shown_message &message)
{
    if (journal_)
        journal_->Record(Race_journal::Now(), QStringLiteral("message"), {QStringLiteral("not shown"), message.text});
    const QString line = Time_Stamp() + QStringLiteral(", while a box was open: ") + message.text.simplified();
    ui_->Label_message->setText(line);
    ui_->Label_message->setToolTip(message.text);
    Set_status_note(Message_note, line);
}

void Form_remotestart::Set_status_note(Status_note which, const QString &text)
{
    status_notes_[which] = text;
    QStringList notes;
    for (const QString &note : status_notes_)
        if (!note.isEmpty())
            notes << note;
    ui_->Label_status->setToolTip(notes.join(QLatin1Char('\n')));
}

// --- a lost connection ---

void Form_remotestart::Show_connected()
{
    reconnect_->Connected();
}

// A connection works again: the outage is over.
void Form_remotestart::Show_working()
{
    journal_hooks_->Connection_working();
    Show_loss_alarm(false);
    Show_heat_stale(false);
}

// Closed, reset or failed without the official asking: shown until a connection works
// again. The attempts that fail meanwhile change the status only.
void Form_remotestart::Show_connection_lost(bool error)
{
    const bool begins = reconnect_->Connection_lost();
    if (error)
        loss_box_ = begins; // its error comes next
    if (!begins)
        return;
    Show_loss_alarm(true);
    Show_heat_stale(true);
    for (int i = 0; i < Loss_beeps; ++i)
        QTimer::singleShot(i * Loss_beep_gap_ms, this, [] { Platform::Beep(); });
}

void Form_remotestart::Show_loss_alarm(bool on)
{
    QLabel *status = ui_->Label_status;
    QPalette alarm = status->palette();
    alarm.setColor(QPalette::Window, Red);
    alarm.setColor(QPalette::WindowText, Qt::white);
    status->setPalette(on ? alarm : QPalette());
    status->setAutoFillBackground(on);
}

// Greyed (the disabled look), text unchanged.
void Form_remotestart::Show_heat_stale(bool stale)
{
    ui_->Label_active_heat->setEnabled(!stale);
    ui_->Label_heat_status->setEnabled(!stale);
}

void Form_remotestart::item_reconnect_Click()
{
    const bool on = ui_->item_reconnect->isChecked();
    reconnect_->Set_enabled(on);
    settings_->Write(Globals::Ini_file_path, QStringLiteral("settings"), QStringLiteral("auto_reconnect"),
                     on ? QStringLiteral("1") : QStringLiteral("0"));
}

// --- active heat, to goal, from goal ---

void Form_remotestart::Command_start_Click()
{
    Guarded(__func__, [this] {
        const Message_source source{one_press_->Keyed_click() ? Message_source::Keyboard : Message_source::Click};
        if (network_->Writer().Start(source) == Send_result::Not_connected)
            Show_not_connected();
    });
}

void Form_remotestart::Command_abort_Click()
{
    Guarded(__func__, [this] {
        const Message_source source{one_press_->Keyed_click() ? Message_source::Keyboard : Message_source::Click};
        if (network_->Writer().Abort(source) == Send_result::Not_connected)
            Show_not_connected();
        ui_->Command_start->setFocus(Qt::OtherFocusReason);
    });
}

void Form_remotestart::Show_not_connected()
{
    Show_box(Box(QStringLiteral("not Connected!")));
}

void Form_remotestart::Command_send_Click()
{
    Guarded(__func__, [this] {
        const QString message = Protocol::Free_text(Time_Stamp(), ui_->Text_to_send->text());
        const Message_source source{one_press_->Keyed_click() ? Message_source::Keyboard : Message_source::Click};
        if (network_->Writer().Send(Message_kind::Text, message, source) == Send_result::Not_connected)
            Show_not_connected();
        // Logged whether or not it went, once the box (if any) is dismissed.
        network_->Display().Add_sent_line(message);
        Show_display();
        ui_->Command_start->setFocus(Qt::OtherFocusReason);
    });
}

void Form_remotestart::Text_to_send_MouseDown()
{
    ui_->Text_to_send->setText(Test_message);
}

bool Form_remotestart::Text_to_goal_KeyPress(const QKeyEvent *key)
{
    return Refuse_typing(key);
}

bool Form_remotestart::Text_from_goal_KeyPress(const QKeyEvent *key)
{
    return Refuse_typing(key);
}

void Form_remotestart::Schedule_display()
{
    if (display_timer_->isActive())
        return;
    const qint64 since = last_display_.isValid() ? last_display_.elapsed() : Frame_ms;
    display_timer_->start(static_cast<int>(std::max<qint64>(0, Frame_ms - since)));
}

void Form_remotestart::Show_display()
{
    Guarded(__func__, [this] {
        last_display_.start();
        const Connection_display::Shown shown = network_->Display().Take();
        if (shown.from_goal_changed)
            Display_Lines(shown.from_goal, ui_->Text_from_goal);
        if (shown.to_goal_changed)
            Display_Lines(shown.to_goal, ui_->Text_to_goal);
        if (shown.heat_changed) {
            ui_->Label_active_heat->setText(shown.heat_id);
            ui_->Label_heat_status->setText(shown.heat_status);
            // A heat line read before a loss is drawn after it: still stale.
            if (network_->Socket_state() == Winsock::Connected)
                Show_heat_stale(false);
        }
        if (shown.ring)
            ring_tone_->Play_Ring();
        if (shown.beep)
            Platform::Beep();
    });
}

// --- Phidget ---

void Form_remotestart::Command_Phidget_Active_Click()
{
    trigger_->Set_armed(!trigger_->Phidget_Armed());
}

void Form_remotestart::Check_Command_Phidget_Active()
{
    const bool armed = trigger_->Phidget_Armed();
    ui_->Command_Phidget_Active->setText(armed ? QStringLiteral("Armed") : QStringLiteral("Unarmed"));
    ui_->Command_Phidget_Active->setStyleSheet(
        QStringLiteral("background-color: %1;").arg((armed ? Green : Red).name()));
}

void Form_remotestart::Show_Phidget_attached(int serial)
{
    ui_->Label_phidget_serial->setText(QStringLiteral("Serial : ") + QString::number(serial));
    ui_->Frame_Phidget->setEnabled(true);
    ui_->Frame_phidget_control->setVisible(true);
}

void Form_remotestart::Show_Phidget_detached()
{
    ui_->Label_phidget_serial->setText(QStringLiteral("Detached"));
    ui_->Frame_Phidget->setEnabled(false);
    ui_->Frame_phidget_control->setVisible(false);
}

void Form_remotestart::Show_input_state(bool closed)
{
    ui_->Shape1->Set_fill_color(closed ? Green : Red);
    ui_->Label_inp_status->setText(closed ? QStringLiteral("Closed") : QStringLiteral("Open"));
}

void Form_remotestart::Timer_Keyb_event_Timer()
{
    Press_Shift_Key(); // the screen stays awake
}

// --- menus ---

void Form_remotestart::Menu_Form_Click()
{
    if (Ctrl_Key_Down()) {
        QAction *debug = ui_->menu_debug->menuAction();
        debug->setVisible(!debug->isVisible());
    }
}

void Form_remotestart::item_about_Click()
{
    Do_About(this);
}

void Form_remotestart::item_linescroll_Click()
{
    Guarded(__func__, [this] { Scroll_Log_Lines(ui_->Text_from_goal, -1); });
}

void Form_remotestart::item_ring_Click()
{
    ring_tone_->Play_Ring();
}

void Form_remotestart::item_race_journal_Click()
{
    // Today's journal of this copy, in the desktop's viewer.
    if (journal_)
        Platform::Open_Url(QUrl::fromLocalFile(journal_->Path()));
}

#include "desktop/main_window/form_remotestart.h"

#include "core/shared/failure.h"
#include "core/shared/globals.h"
#include "core/shared/keyboard.h"
#include "core/shared/platform.h"
#include "core/shared/screen_saver.h"
#include "core/shared/time_texts.h"
#include "desktop/about/do_about.h"
#include "desktop/journal/journal_window.h"
#include "desktop/main_window/box_queue.h"
#include "desktop/main_window/form_remotestart_ui.h"
#include "desktop/main_window/one_press_keys.h"
#include "desktop/message_log/display_lines.h"
#include "desktop/shared/forms.h"
#include "desktop/shared/loss_notice.h"

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
#include <QTimer>
#include <QUrl>

#include <utility>

namespace {

const QString Test_message = QStringLiteral("This is a test message from starter!");

// A lost connection sounds this many beeps, apart enough to be heard as several, so it
// is not taken for the one beep a "#" from the server asks for.
constexpr int Loss_beeps = 3;
constexpr int Loss_beep_gap_ms = 300;

// What the server sends is drawn at most once in this time, however fast it comes, so
// the window's thread stays free for the official's clicks (and a start never waits).
constexpr int Frame_ms = 16;

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

    starter_ = new Remote_starter(this);
    display_timer_ = new QTimer(this);
    display_timer_->setSingleShot(true);
    boxes_ = new Box_queue([this](const Shown_message &message) { Show_not_shown(message); }, this);
    Wire_controls();

    Forms::Register_Form(this);
}

Form_remotestart::~Form_remotestart()
{
    qApp->disconnect(this); // the focus rule would reach for controls already going
    Let_screen_blank(); // kept on while the window is loaded
    delete starter_; // before the controls it shows on
    starter_ = nullptr;
}

// What every control does, and where what the connection and the trigger tell is shown.
void Form_remotestart::Wire_controls()
{
    Form_remotestart_ui &ui = *ui_;
    // The window itself: Form_Click and Form_Activate (eventFilter, event). Every
    // button answers Space, Return and keypad Enter, once per press.
    ui.client_area->installEventFilter(this);
    one_press_ = new One_press_keys(this);
    for (QPushButton *button : {static_cast<QPushButton *>(ui.Command_start), ui.Command_abort, ui.Command_connect, ui.Command_disconnect,
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
    connect(starter_, &Remote_starter::Status_changed, ui.Label_status, &QLabel::setText);
    connect(starter_, &Remote_starter::Message, boxes_, &Box_queue::Queue_box);
    // A journal that cannot be written is said on the status label's tooltip: never a box during a race.
    connect(starter_, &Remote_starter::Journal_failing, this,
            [this](const QString &text) { Set_status_note(Journal_note, text); });
    // A loss is an alarm until a connection works again.
    connect(starter_, &Remote_starter::Alarm_changed, this, &Form_remotestart::Show_loss_alarm);
    connect(starter_, &Remote_starter::Heat_stale_changed, this, &Form_remotestart::Show_heat_stale);

    // Active heat.
    // Start goes when the click is complete, before the button repaints (Start_button).
    connect(ui.Command_start, &Start_button::Click_completed, this, &Form_remotestart::Command_start_Click);
    connect(ui.Command_abort, &QPushButton::clicked, this, &Form_remotestart::Command_abort_Click);

    // From goal and to goal. Keys typed into either log and the right button on
    // Text_to_send: eventFilter.
    connect(ui.Command_send, &QPushButton::clicked, this, &Form_remotestart::Command_send_Click);
    ui.Text_to_goal->installEventFilter(this);
    ui.Text_from_goal->installEventFilter(this);
    ui.Text_to_send->installEventFilter(this);

    // The logs, the heat and the sounds the server asks for: drawn from what the
    // connection holds when the window gets to it (Show_display).
    connect(starter_, &Remote_starter::Shown_changed, this, &Form_remotestart::Schedule_display);
    connect(display_timer_, &QTimer::timeout, this, &Form_remotestart::Show_display);

    // Phidget. An armed input change goes straight to the writer: no window is in the
    // way of a start; only a refusal comes here to be shown (a Message).
    connect(ui.Command_Phidget_Active, &QPushButton::clicked, this, &Form_remotestart::Command_Phidget_Active_Click);
    connect(starter_, &Remote_starter::Armed_changed, this, [this](bool armed) { ui_->Show_armed(armed); });
    connect(starter_, &Remote_starter::Board_attached, this, [this](int serial) { ui_->Show_board_attached(serial); });
    connect(starter_, &Remote_starter::Board_detached, this, [this] { ui_->Show_board_detached(); });
    connect(starter_, &Remote_starter::Input_state_changed, this, [this](bool closed) { ui_->Show_input_state(closed); });
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
        if (!starter_->Take_instance_lock()) {
            Show_Message(QStringLiteral("A previous instance of this program is already running!"));
            Program_Exit();
            return;
        }
        starter_->Load();
        setWindowTitle(Globals::Program_title + QLatin1Char(' ') + Globals::Program_version);
        ui_->Show_armed(starter_->Armed());
        ui_->Text_host->setText(starter_->Stored_host());
        ui_->item_reconnect->setChecked(starter_->Reconnect_enabled());
        // Where the screen may blank after all, the status label says why when pointed at.
        Keep_screen_on(Globals::Program_title, QStringLiteral("Starting races: the screen stays on"), this,
                       [self = QPointer<Form_remotestart>(this)](const QString &why) {
                           if (self)
                               self->Set_status_note(Screen_note, why);
                       });
        ui_->Command_start->setFocus();
    });
}

void Form_remotestart::Program_Exit()
{
    exiting_ = true;
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
    Guarded(__func__, [this] {
        if (const std::optional<Shown_message> unsent = starter_->Close_at_exit())
            boxes_->Show_box(*unsent);
    });
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
        starter_->Update_status();
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
        starter_->Connect(ui_->Text_host->text());
        ui_->Command_start->setFocus(Qt::OtherFocusReason); // Start is focused once connected
    });
}

void Form_remotestart::Command_disconnect_Click()
{
    Guarded(__func__, [this] { starter_->Disconnect(); });
}

void Form_remotestart::Label_status_Click()
{
    Guarded(__func__, [this] { starter_->Update_status(); });
}

void Form_remotestart::Text_host_LostFocus()
{
    // Only a change is written, and not here: the click that moved the focus (a Start)
    // waits for no disk.
    starter_->Set_host(ui_->Text_host->text());
}

// --- message boxes ---

// Another box is open: this message is on record and in sight, without a second box.
void Form_remotestart::Show_not_shown(const Shown_message &message)
{
    starter_->Record_not_shown(message.text);
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

// Red until a connection works again; an outage begins with Loss_beeps beeps.
void Form_remotestart::Show_loss_alarm(bool on)
{
    QLabel *status = ui_->Label_status;
    QPalette alarm = status->palette();
    alarm.setColor(QPalette::Window, QColor(255, 0, 0));
    alarm.setColor(QPalette::WindowText, Qt::white);
    status->setPalette(on ? alarm : QPalette());
    status->setAutoFillBackground(on);
    // Read out with the state: "Closed" alone is also what a Disconnect shows.
    status->setAccessibleDescription(on ? QStringLiteral("Connection to the timing server lost") : QString());
    if (on) { // an outage begins
        for (int i = 0; i < Loss_beeps; ++i)
            QTimer::singleShot(i * Loss_beep_gap_ms, this, [] { Platform::Beep(); });
        Announce_loss_outside_window(this); // seen outside the window too (urgency hint, notification)
    }
}

// Greyed (the disabled look), text unchanged.
void Form_remotestart::Show_heat_stale(bool stale)
{
    ui_->Label_active_heat->setEnabled(!stale);
    ui_->Label_heat_status->setEnabled(!stale);
}

void Form_remotestart::item_reconnect_Click()
{
    starter_->Set_reconnect(ui_->item_reconnect->isChecked());
}

// --- active heat, to goal, from goal ---

void Form_remotestart::Command_start_Click()
{
    Guarded(__func__, [this] {
        const Message_source source{one_press_->Keyed_click() ? Message_source::Keyboard : Message_source::Click};
        if (starter_->Send_start(source) == Send_result::Not_connected)
            Show_not_connected();
    });
}

void Form_remotestart::Command_abort_Click()
{
    Guarded(__func__, [this] {
        const Message_source source{one_press_->Keyed_click() ? Message_source::Keyboard : Message_source::Click};
        if (starter_->Send_abort(source) == Send_result::Not_connected)
            Show_not_connected();
        ui_->Command_start->setFocus(Qt::OtherFocusReason);
    });
}

void Form_remotestart::Show_not_connected()
{
    boxes_->Show_box(Remote_starter::Not_connected_message());
}

void Form_remotestart::Command_send_Click()
{
    Guarded(__func__, [this] {
        const Message_source source{one_press_->Keyed_click() ? Message_source::Keyboard : Message_source::Click};
        const Remote_starter::Sent_text sent = starter_->Send_text(ui_->Text_to_send->text(), source);
        if (sent.result == Send_result::Not_connected)
            Show_not_connected();
        // Logged whether or not it went, once the box (if any) is dismissed.
        starter_->Log_sent(sent.line);
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
        const Display_model::Shown shown = starter_->Take_shown();
        if (shown.from_goal_changed)
            Display_Lines(shown.from_goal, ui_->Text_from_goal);
        if (shown.to_goal_changed)
            Display_Lines(shown.to_goal, ui_->Text_to_goal);
        if (shown.heat_changed) {
            ui_->Label_active_heat->setText(shown.heat_id);
            ui_->Label_heat_status->setText(shown.heat_status);
        }
        if (shown.ring)
            starter_->Play_ring();
        if (shown.beep)
            Platform::Beep();
    });
}

// --- Phidget ---

void Form_remotestart::Command_Phidget_Active_Click()
{
    starter_->Set_armed(!starter_->Armed());
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
    starter_->Play_ring();
}

void Form_remotestart::item_race_journal_Click()
{
    // Today's journal of this copy, in a window of the program's own (no launcher needed).
    Journal_window::Show_for(this, Globals::User_appdata_path, [this] { return starter_->Journal_path(); });
}

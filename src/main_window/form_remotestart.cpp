#include "main_window/form_remotestart.h"

#include "about/do_about.h"
#include "connection/remote_connection.h"
#include "main_window/shape_circle.h"
#include "shared/desktop/forms.h"
#include "shared/desktop/twips_layout.h"
#include "shared/ini_values.h"
#include "shared/keyboard.h"
#include "shared/time_texts.h"
#include "shared/globals.h"
#include "shared/message_box.h"
#include "shared/facility.h"
#include "shared/failure.h"
#include "shared/screen_saver.h"
#include "shared/single_instance.h"
#include "start_trigger/start_trigger.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace {

using namespace Layout;

const QColor Blue(0, 0, 255);
const QColor Navy(0, 0, 128);
const QColor Dark_red(128, 0, 0);
const QColor Dark_green(0, 128, 0);

QPlainTextEdit *Log_box(QWidget *parent, const char *name, const QRect &geometry, const QFont &font,
                        const QColor &color)
{
    auto *box = Make<QPlainTextEdit>(parent, name, geometry);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setTabChangesFocus(true);
    box->setFont(font);
    Set_text_color(box, color, QPalette::Text);
    return box;
}

} // namespace

Form_remotestart::Form_remotestart(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form_remotestart"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    setWindowTitle(QStringLiteral("Velantra Remote Start"));
    // The program icon is this window's alone: the About and error windows have none.
    setWindowIcon(QIcon(QStringLiteral(":/icons/velantra.png")));
    Build_layout();
    Build_menus();

    connection_ = new Remote_connection(ui_, this);
    trigger_ = new Start_trigger(ui_, [this] { connection_->Send_Start_Command(); }, this);
    connection_->Set_ring([this] { trigger_->Play_Ring(); });

    Forms::Register_Form(this);
}

Form_remotestart::~Form_remotestart()
{
    Facility<Screen_saver>::Get().Uninhibit(); // held while the window is loaded
}

void Form_remotestart::Build_layout()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client_area"));
    client->setFont(Font(QStringLiteral("MS Sans Serif"), 8.25));
    client->setFixedSize(Twips(0, 0, 14628, 8844).size());
    setCentralWidget(client);
    client->installEventFilter(this);

    ui_.Frame_PC_time = Frame(client, "Frame_PC_time", QStringLiteral("PC time"), Twips(240, 240, 1455, 735));
    ui_.Label_PC_Time = Label(ui_.Frame_PC_time, "Label_PC_Time", QString(), Twips(200, 240, 1100, 420));
    ui_.Label_PC_Time->setFont(Font(QStringLiteral("MS Sans Serif"), 19.5));
    Set_text_color(ui_.Label_PC_Time, Blue);

    ui_.Label1 = Label(client, "Label1", QStringLiteral("Velantra remote start"), Twips(2040, 240, 9375, 975));
    ui_.Label1->setFont(Font(QStringLiteral("Times New Roman"), 48));
    Set_text_color(ui_.Label1, Navy);

    ui_.Frame_active = Frame(client, "Frame_active", QStringLiteral("Active Heat"), Twips(120, 1560, 9735, 1575), Dark_red);
    ui_.Label6 = Label(ui_.Frame_active, "Label6", QStringLiteral("Heat ID                 Heat status"),
                       Twips(240, 360, 5175, 255));
    ui_.Label_active_heat = Label(ui_.Frame_active, "Label_active_heat", QString(), Twips(240, 600, 1575, 735));
    ui_.Label_active_heat->setFont(Font(QStringLiteral("MS Sans Serif"), 24));
    Set_text_color(ui_.Label_active_heat, Navy);
    ui_.Label_heat_status = Label(ui_.Frame_active, "Label_heat_status", QString(), Twips(2040, 600, 3135, 735));
    ui_.Label_heat_status->setFont(Font(QStringLiteral("MS Sans Serif"), 24));
    Set_text_color(ui_.Label_heat_status, Blue);
    ui_.Command_start = Button(ui_.Frame_active, "Command_start", QStringLiteral("Start"), Twips(6120, 600, 1575, 615));
    ui_.Command_abort = Button(ui_.Frame_active, "Command_abort", QStringLiteral("Abort"), Twips(7920, 600, 1575, 615));

    ui_.Frame_msg_from_goal = Frame(client, "Frame_msg_from_goal", QStringLiteral("From goal"), Twips(120, 3240, 9975, 2655));
    ui_.Text_from_goal = Log_box(ui_.Frame_msg_from_goal, "Text_from_goal", Twips(240, 480, 8775, 2055),
                                 Font(QStringLiteral("Arial"), 10.8), Blue);

    ui_.Frame_to_goal = Frame(client, "Frame_to_goal", QStringLiteral("To goal"), Twips(120, 5880, 9975, 2655));
    ui_.Text_to_goal = Log_box(ui_.Frame_to_goal, "Text_to_goal", Twips(240, 360, 8775, 1335),
                               Font(QStringLiteral("Arial"), 10.8, false, true), Dark_green);
    ui_.Text_to_send = Make<QLineEdit>(ui_.Frame_to_goal, "Text_to_send", Twips(240, 1800, 8535, 495));
    ui_.Command_send = Button(ui_.Frame_to_goal, "Command_send", QStringLiteral("Send"), Twips(9120, 1920, 735, 255));

    ui_.Frame_connection = Frame(client, "Frame_connection", QStringLiteral("Connection"), Twips(10440, 1560, 2535, 3495));
    ui_.Label3 = Label(ui_.Frame_connection, "Label3", QStringLiteral("Server adress"), Twips(240, 360, 1695, 255));
    ui_.Text_host = Make<QLineEdit>(ui_.Frame_connection, "Text_host", Twips(120, 720, 2295, 495));
    ui_.Text_host->setFont(Font(QStringLiteral("Arial"), 12));
    Set_text_color(ui_.Text_host, Blue, QPalette::Text);
    ui_.Text_host->installEventFilter(this);
    ui_.Command_connect = Button(ui_.Frame_connection, "Command_connect", QStringLiteral("Connect"), Twips(360, 1320, 1695, 495));
    ui_.Command_disconnect = Button(ui_.Frame_connection, "Command_disconnect", QStringLiteral("Disconnect"), Twips(360, 1920, 1695, 495));
    ui_.Label4 = Label(ui_.Frame_connection, "Label4", QStringLiteral("Connection status"), Twips(240, 2520, 2055, 255));
    ui_.Label_status = Label(ui_.Frame_connection, "Label_status", QStringLiteral("Idle"), Twips(240, 2880, 2055, 375));
    ui_.Label_status->installEventFilter(this);

    ui_.Frame_Phidget = Frame(client, "Frame_Phidget", QStringLiteral("Phidget"), Twips(10440, 5280, 2532, 3012));
    ui_.Label_phidget_serial = Label(ui_.Frame_Phidget, "Label_phidget_serial", QStringLiteral("No Phidget!"),
                                     Twips(120, 360, 2052, 372));
    Set_border(ui_.Label_phidget_serial);
    ui_.Label_phidget_serial->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Set_text_color(ui_.Label_phidget_serial, Blue);
    ui_.Frame_phidget_control = Frame(ui_.Frame_Phidget, "Frame_phidget_control", QStringLiteral("Phidget control"),
                                      Twips(120, 840, 2292, 2052));
    ui_.Label2 = Label(ui_.Frame_phidget_control, "Label2", QStringLiteral("Input status"), Twips(120, 240, 1812, 252));
    ui_.Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    ui_.Shape1 = Make<Shape_circle>(ui_.Frame_phidget_control, "Shape1", Twips(120, 480, 612, 492));
    ui_.Shape1->setAccessibleName(QStringLiteral("Input 0 lamp"));
    ui_.Label_inp_status = Label(ui_.Frame_phidget_control, "Label_inp_status", QStringLiteral("Label2"),
                                 Twips(840, 600, 1092, 372));
    Set_border(ui_.Label_inp_status);
    ui_.Label_inp_status->setFont(Font(QStringLiteral("MS Sans Serif"), 13.8, true));
    ui_.Label7 = Label(ui_.Frame_phidget_control, "Label7", QStringLiteral("Phidget armed status"), Twips(60, 1080, 2172, 252));
    ui_.Command_Phidget_Active = Button(ui_.Frame_phidget_control, "Command_Phidget_Active", QStringLiteral("Unarmed"),
                                        Twips(240, 1440, 1692, 492));
    ui_.Command_Phidget_Active->setFont(Font(QStringLiteral("MS Sans Serif"), 18, true));
    ui_.Frame_phidget_control->setVisible(false);
    ui_.Frame_Phidget->setEnabled(false);

    for (QPushButton *button : {ui_.Command_start, ui_.Command_abort, ui_.Command_connect, ui_.Command_disconnect,
                                ui_.Command_send, ui_.Command_Phidget_Active})
        button->installEventFilter(this); // the keyboard start: see eventFilter

    QWidget::setTabOrder(ui_.Command_start, ui_.Command_abort);
    QWidget::setTabOrder(ui_.Command_abort, ui_.Text_host);
    QWidget::setTabOrder(ui_.Text_host, ui_.Command_connect);
    QWidget::setTabOrder(ui_.Command_connect, ui_.Command_disconnect);
    QWidget::setTabOrder(ui_.Command_disconnect, ui_.Text_from_goal);
    QWidget::setTabOrder(ui_.Text_from_goal, ui_.Text_to_goal);
    QWidget::setTabOrder(ui_.Text_to_goal, ui_.Text_to_send);
    QWidget::setTabOrder(ui_.Text_to_send, ui_.Command_send);
    QWidget::setTabOrder(ui_.Command_send, ui_.Command_Phidget_Active);

    ui_.Timer1 = new QTimer(this);
    ui_.Timer1->setObjectName(QStringLiteral("Timer1"));
    ui_.Timer1->setInterval(5000);
    connect(ui_.Timer1, &QTimer::timeout, this, &Form_remotestart::Timer1_Timer);
    ui_.Timer1->start();

    ui_.Timer_Keyb_event = new QTimer(this);
    ui_.Timer_Keyb_event->setObjectName(QStringLiteral("Timer_Keyb_event"));
    ui_.Timer_Keyb_event->setInterval(30000);
    connect(ui_.Timer_Keyb_event, &QTimer::timeout, this, [] { Press_Shift_Key(); });
    ui_.Timer_Keyb_event->start();
}

void Form_remotestart::Build_menus()
{
    QMenuBar *bar = menuBar();

    ui_.Menu_Form = bar->addMenu(QStringLiteral("Form"));
    ui_.Menu_Form->setObjectName(QStringLiteral("Menu_Form"));
    // The moment the menu opens stands for the click on its title.
    connect(ui_.Menu_Form, &QMenu::aboutToShow, this, &Form_remotestart::Menu_Form_Click);
    ui_.item_exit = ui_.Menu_Form->addAction(QStringLiteral("Exit"));
    ui_.item_exit->setObjectName(QStringLiteral("item_exit"));
    ui_.item_exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(ui_.item_exit, &QAction::triggered, this, &Form_remotestart::Program_Exit);

    ui_.menu_help = bar->addMenu(QStringLiteral("Help"));
    ui_.menu_help->setObjectName(QStringLiteral("menu_help"));
    ui_.item_about = ui_.menu_help->addAction(QStringLiteral("About"));
    ui_.item_about->setObjectName(QStringLiteral("item_about"));
    connect(ui_.item_about, &QAction::triggered, this, [this] { Do_About(this); });

    ui_.menu_debug = bar->addMenu(QStringLiteral("Debug"));
    ui_.menu_debug->setObjectName(QStringLiteral("menu_debug"));
    ui_.menu_debug->menuAction()->setVisible(false);
    ui_.item_linescroll = ui_.menu_debug->addAction(QStringLiteral("linescroll"));
    ui_.item_linescroll->setObjectName(QStringLiteral("item_linescroll"));
    connect(ui_.item_linescroll, &QAction::triggered, this, [this] { connection_->item_linescroll_Click(); });
    ui_.item_ring = ui_.menu_debug->addAction(QStringLiteral("Ring"));
    ui_.item_ring->setObjectName(QStringLiteral("item_ring"));
    connect(ui_.item_ring, &QAction::triggered, this, [this] { trigger_->Play_Ring(); });
}

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
        setWindowTitle(QStringLiteral("Velantra Remote Start ") + Globals::Program_version);
        trigger_->Check_Command_Phidget_Active();
        connection_->Create_logs();
        ui_.Text_host->setText(Read_Ini_Value(QStringLiteral("settings"), QStringLiteral("host_ip"),
                                              Globals::Ini_file_path, QStringLiteral("127.0.0.1")));
        trigger_->Load_Ringtone();
        trigger_->Open_InterfaceKit();
        Facility<Screen_saver>::Get().Inhibit(QStringLiteral("Velantra Remote Start"),
                                              QStringLiteral("Starting races: the screen stays on"));
        ui_.Command_start->setFocus();
    });
}

void Form_remotestart::Init_program()
{
    Globals::Init_program();
}

void Form_remotestart::Timer1_Timer()
{
    ui_.Label_PC_Time->setText(Time_Stamp().left(5));
    connection_->Update_TCP_status();
}

void Form_remotestart::Menu_Form_Click()
{
    if (Ctrl_Key_Down()) {
        QAction *debug = ui_.menu_debug->menuAction();
        debug->setVisible(!debug->isVisible());
    }
}

void Form_remotestart::Text_host_LostFocus()
{
    Write_Ini_Value(QStringLiteral("settings"), QStringLiteral("host_ip"), ui_.Text_host->text(),
                    Globals::Ini_file_path);
}

void Form_remotestart::Program_Exit()
{
    exiting_ = true;
    connection_->Close_socket();
    Unload_All_Forms();
    exit_requested_ = true;
    QCoreApplication::exit(0);
}

bool Form_remotestart::event(QEvent *e)
{
    // Form_Activate: clock and status current at once. The first show counts too, for
    // desktops that do not activate a new window.
    if (e->type() == QEvent::WindowActivate || (e->type() == QEvent::Show && !shown_once_)) {
        shown_once_ = true;
        Timer1_Timer();
    }
    return QMainWindow::event(e);
}

bool Form_remotestart::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == centralWidget() && e->type() == QEvent::MouseButtonPress) {
        // Form_Click is a click on the bare window only. A frame or a label passes its
        // click up to here too, but that is its own click: the focus stays where it was,
        // or the next Space typed into a text box would give a false start.
        if (!centralWidget()->childAt(static_cast<QMouseEvent *>(e)->position().toPoint()))
            ui_.Command_start->setFocus(Qt::MouseFocusReason);
    } else if (e->type() == QEvent::KeyPress && qobject_cast<QPushButton *>(watched)) {
        // Return and keypad Enter press the focused button as Space does, once per
        // press: a held key repeats, and must not send a second start.
        const auto *key = static_cast<QKeyEvent *>(e);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!key->isAutoRepeat())
                static_cast<QPushButton *>(watched)->click();
            return true;
        }
    } else if (watched == ui_.Label_status && e->type() == QEvent::MouseButtonRelease) {
        connection_->Update_TCP_status(); // Label_status_Click
    } else if (watched == ui_.Text_host && e->type() == QEvent::FocusOut) {
        // Only a move of the focus inside the window counts, not a menu or another window
        // taking it (a failed write's own message box would otherwise write again).
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !exiting_)
            Text_host_LostFocus();
    }
    return QMainWindow::eventFilter(watched, e);
}

void Form_remotestart::closeEvent(QCloseEvent *e)
{
    if (!exiting_) {
        // The close box ends the program: the socket goes with the window, and the hidden
        // About and error windows are unloaded too so no windowless process lingers.
        exiting_ = true;
        connection_->Close_socket();
        const QList<QWidget *> forms = Forms::Loaded_Forms();
        for (auto it = forms.crbegin(); it != forms.crend(); ++it)
            if (*it != this)
                Forms::Unload_Form(*it);
    }
    e->accept();
}

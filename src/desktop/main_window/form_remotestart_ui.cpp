#include "desktop/main_window/form_remotestart_ui.h"

#include "desktop/main_window/shape_circle.h"
#include "desktop/shared/light_face.h"
#include "desktop/shared/menu_keys.h"
#include "desktop/main_window/start_button.h"
#include "desktop/shared/twips_layout.h"
#include "desktop/shared/value_label.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace {

using namespace Layout;

const QColor Blue(0, 0, 255);
const QColor Navy(0, 0, 128);
const QColor Dark_red(128, 0, 0);
const QColor Dark_green(0, 128, 0);
const QColor Gray(128, 128, 128);
const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

QPlainTextEdit *Log_box(QWidget *parent, const char *name, const QRect &geometry, const QFont &font,
                        const QColor &color)
{
    auto *box = Make<QPlainTextEdit>(parent, name, geometry);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setTabChangesFocus(true);
    box->setFont(font);
    Set_text_color(box, color, QPalette::Text);
    // Nothing is typed into a log; read-only also stops pasting and deleting.
    box->setReadOnly(true);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return box;
}

} // namespace

void Form_remotestart_ui::Setup(QMainWindow *window)
{
    Light_face::Apply(window); // first: the colours below are laid over it
    auto *client = new QWidget(window);
    client_area = client;
    client->setObjectName(QStringLiteral("client_area"));
    client->setFont(Font(QStringLiteral("MS Sans Serif"), 8.25));
    client->setFixedSize(Twips(0, 0, 14628, 8844).size());
    window->setCentralWidget(client);

    Frame_PC_time = Frame(client, "Frame_PC_time", QStringLiteral("PC time"), Twips(240, 240, 1455, 735));
    Label_PC_Time = Label(Frame_PC_time, "Label_PC_Time", QString(), Twips(200, 240, 1100, 420));
    Label_PC_Time->setFont(Font(QStringLiteral("MS Sans Serif"), 19.5));
    Set_text_color(Label_PC_Time, Blue);

    Label1 = Label(client, "Label1", QStringLiteral("Velantra remote start"), Twips(2040, 240, 9375, 975));
    Label1->setFont(Font(QStringLiteral("Times New Roman"), 48));
    Set_text_color(Label1, Navy);

    Frame_active = Frame(client, "Frame_active", QStringLiteral("Active Heat"), Twips(120, 1560, 9735, 1575), Dark_red);
    Label6 = Label(Frame_active, "Label6", QStringLiteral("Heat ID                 Heat status"),
                   Twips(240, 360, 5175, 255));
    Label_active_heat = Label(Frame_active, "Label_active_heat", QString(), Twips(240, 600, 1575, 735));
    Label_active_heat->setFont(Font(QStringLiteral("MS Sans Serif"), 24));
    Set_text_color(Label_active_heat, Navy);
    Label_heat_status = Label(Frame_active, "Label_heat_status", QString(), Twips(2040, 600, 3135, 735));
    Label_heat_status->setFont(Font(QStringLiteral("MS Sans Serif"), 24));
    Set_text_color(Label_heat_status, Blue);
    // The heat is greyed while it may be stale (a lost connection): the disabled look.
    for (QLabel *heat : {Label_active_heat, Label_heat_status}) {
        QPalette p = heat->palette();
        p.setColor(QPalette::Disabled, QPalette::WindowText, Gray);
        heat->setPalette(p);
    }
    // A Start_button: it tells a click before it repaints (the connect is in form_remotestart.cpp).
    Command_start = Make<Start_button>(Frame_active, "Command_start", Twips(6120, 600, 1575, 615));
    Command_start->setText(QStringLiteral("Start"));
    Command_abort = Button(Frame_active, "Command_abort", QStringLiteral("Abort"), Twips(7920, 600, 1575, 615));

    Frame_msg_from_goal = Frame(client, "Frame_msg_from_goal", QStringLiteral("From goal"), Twips(120, 3240, 9975, 2655));
    Text_from_goal = Log_box(Frame_msg_from_goal, "Text_from_goal", Twips(240, 480, 8775, 2055),
                             Font(QStringLiteral("Arial"), 10.8), Blue);

    Frame_to_goal = Frame(client, "Frame_to_goal", QStringLiteral("To goal"), Twips(120, 5880, 9975, 2655));
    Text_to_goal = Log_box(Frame_to_goal, "Text_to_goal", Twips(240, 360, 8775, 1335),
                           Font(QStringLiteral("Arial"), 10.8, false, true), Dark_green);
    Text_to_send = Make<QLineEdit>(Frame_to_goal, "Text_to_send", Twips(240, 1800, 8535, 495));
    // The right button is the test-message gesture, not a context menu.
    Text_to_send->setContextMenuPolicy(Qt::NoContextMenu);
    Command_send = Button(Frame_to_goal, "Command_send", QStringLiteral("Send"), Twips(9120, 1920, 735, 255));

    Frame_connection = Frame(client, "Frame_connection", QStringLiteral("Connection"), Twips(10440, 1560, 2535, 3495));
    Label3 = Label(Frame_connection, "Label3", QStringLiteral("Server adress"), Twips(240, 360, 1695, 255));
    Text_host = Make<QLineEdit>(Frame_connection, "Text_host", Twips(120, 720, 2295, 495));
    Text_host->setFont(Font(QStringLiteral("Arial"), 12));
    Set_text_color(Text_host, Blue, QPalette::Text);
    Command_connect = Button(Frame_connection, "Command_connect", QStringLiteral("Connect"), Twips(360, 1320, 1695, 495));
    Command_disconnect = Button(Frame_connection, "Command_disconnect", QStringLiteral("Disconnect"), Twips(360, 1920, 1695, 495));
    Label4 = Label(Frame_connection, "Label4", QStringLiteral("Connection status"), Twips(240, 2520, 2055, 255));
    Label_status = Label(Frame_connection, "Label_status", QStringLiteral("Idle"), Twips(240, 2880, 2055, 375));

    Frame_Phidget = Frame(client, "Frame_Phidget", QStringLiteral("Phidget"), Twips(10440, 5280, 2532, 3012));
    Label_phidget_serial = Label(Frame_Phidget, "Label_phidget_serial", QStringLiteral("No Phidget!"),
                                 Twips(120, 360, 2052, 372));
    Set_border(Label_phidget_serial);
    Label_phidget_serial->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Set_text_color(Label_phidget_serial, Blue);
    Frame_phidget_control = Frame(Frame_Phidget, "Frame_phidget_control", QStringLiteral("Phidget control"),
                                  Twips(120, 840, 2292, 2052));
    Label2 = Label(Frame_phidget_control, "Label2", QStringLiteral("Input status"), Twips(120, 240, 1812, 252));
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Shape1 = Make<Shape_circle>(Frame_phidget_control, "Shape1", Twips(120, 480, 612, 492));
    Shape1->setAccessibleName(QStringLiteral("Input 0 lamp"));
    Label_inp_status = Label(Frame_phidget_control, "Label_inp_status", QStringLiteral("Label2"),
                             Twips(840, 600, 1092, 372));
    Set_border(Label_inp_status);
    Label_inp_status->setFont(Font(QStringLiteral("MS Sans Serif"), 13.8, true));
    Label7 = Label(Frame_phidget_control, "Label7", QStringLiteral("Phidget armed status"), Twips(60, 1080, 2172, 252));
    Command_Phidget_Active = Button(Frame_phidget_control, "Command_Phidget_Active", QStringLiteral("Unarmed"),
                                    Twips(240, 1440, 1692, 492));
    Command_Phidget_Active->setFont(Font(QStringLiteral("MS Sans Serif"), 18, true));
    Frame_phidget_control->setVisible(false);
    Frame_Phidget->setEnabled(false);

    // Below the client area, which keeps its size: a message that came while a box was
    // open, in sight without a box. Never wider than the window; the tooltip has it whole.
    QStatusBar *status_bar = window->statusBar();
    status_bar->setSizeGripEnabled(false);
    Label_message = new QLabel(status_bar);
    Label_message->setObjectName(QStringLiteral("Label_message"));
    Label_message->setTextFormat(Qt::PlainText);
    Label_message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_bar->addWidget(Label_message, 1);

    // A screen reader tells each control by its label's words: a frame's caption alone
    // would name two boxes alike. Captions are tied to what they name (buddy: the
    // "labelled by" relation); the buttons' own captions name them.
    Text_host->setAccessibleName(Label3->text());
    Text_from_goal->setAccessibleName(Frame_msg_from_goal->title());
    Text_to_goal->setAccessibleName(Frame_to_goal->title());
    Text_to_send->setAccessibleName(QStringLiteral("Text to send"));
    Label3->setBuddy(Text_host);
    Label4->setBuddy(Label_status);
    Label2->setBuddy(Label_inp_status);
    Label7->setBuddy(Command_Phidget_Active);
    Value_label::Name(Label_PC_Time, Frame_PC_time->title());
    Value_label::Name(Label_active_heat, QStringLiteral("Heat ID"));
    Value_label::Name(Label_heat_status, QStringLiteral("Heat status"));
    Value_label::Name(Label_status, Label4->text());
    Value_label::Name(Label_phidget_serial, QStringLiteral("Phidget board"));
    Value_label::Name(Label_inp_status, Label2->text());
    Value_label::Name(Label_message, QStringLiteral("Last message"));

    QWidget::setTabOrder(Command_start, Command_abort);
    QWidget::setTabOrder(Command_abort, Text_host);
    QWidget::setTabOrder(Text_host, Command_connect);
    QWidget::setTabOrder(Command_connect, Command_disconnect);
    QWidget::setTabOrder(Command_disconnect, Text_from_goal);
    QWidget::setTabOrder(Text_from_goal, Text_to_goal);
    QWidget::setTabOrder(Text_to_goal, Text_to_send);
    QWidget::setTabOrder(Text_to_send, Command_send);
    QWidget::setTabOrder(Command_send, Command_Phidget_Active);

    Timer1 = new QTimer(window);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);

    Timer_Keyb_event = new QTimer(window);
    Timer_Keyb_event->setObjectName(QStringLiteral("Timer_Keyb_event"));
    Timer_Keyb_event->setInterval(30000);

    // Every menu and item has an underlined letter (Alt+letter), and F10 opens the first
    // menu, so the whole menu bar is reachable without a mouse.
    QMenuBar *bar = window->menuBar();

    Menu_Form = bar->addMenu(QStringLiteral("&Form"));
    Menu_Form->setObjectName(QStringLiteral("Menu_Form"));
    item_race_journal = Menu_Form->addAction(QStringLiteral("&Race journal"));
    item_race_journal->setObjectName(QStringLiteral("item_race_journal"));
    item_reconnect = Menu_Form->addAction(QStringLiteral("Reconnect &automatically"));
    item_reconnect->setObjectName(QStringLiteral("item_reconnect"));
    item_reconnect->setCheckable(true);
    Menu_Form->addSeparator();
    item_exit = Menu_Form->addAction(QStringLiteral("E&xit"));
    item_exit->setObjectName(QStringLiteral("item_exit"));
    item_exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

    menu_help = bar->addMenu(QStringLiteral("&Help"));
    menu_help->setObjectName(QStringLiteral("menu_help"));
    item_about = menu_help->addAction(QStringLiteral("&About"));
    item_about->setObjectName(QStringLiteral("item_about"));

    menu_debug = bar->addMenu(QStringLiteral("&Debug"));
    menu_debug->setObjectName(QStringLiteral("menu_debug"));
    menu_debug->menuAction()->setVisible(false);
    item_linescroll = menu_debug->addAction(QStringLiteral("&linescroll"));
    item_linescroll->setObjectName(QStringLiteral("item_linescroll"));
    item_ring = menu_debug->addAction(QStringLiteral("&Ring"));
    item_ring->setObjectName(QStringLiteral("item_ring"));

    Open_menu_bar_on_F10(bar);
    Light_face::Apply(window); // again, for the menus now there
}

void Form_remotestart_ui::Show_armed(bool armed)
{
    Command_Phidget_Active->setText(armed ? QStringLiteral("Armed") : QStringLiteral("Unarmed"));
    Command_Phidget_Active->setStyleSheet(QStringLiteral("background-color: %1;").arg((armed ? Green : Red).name()));
}

void Form_remotestart_ui::Show_board_attached(int serial)
{
    Label_phidget_serial->setText(QStringLiteral("Serial : ") + QString::number(serial));
    Frame_Phidget->setEnabled(true);
    Frame_phidget_control->setVisible(true);
}

void Form_remotestart_ui::Show_board_detached()
{
    Label_phidget_serial->setText(QStringLiteral("Detached"));
    Frame_Phidget->setEnabled(false);
    Frame_phidget_control->setVisible(false);
}

void Form_remotestart_ui::Show_input_state(bool closed)
{
    Shape1->Set_fill_color(closed ? Green : Red);
    Label_inp_status->setText(closed ? QStringLiteral("Closed") : QStringLiteral("Open"));
}

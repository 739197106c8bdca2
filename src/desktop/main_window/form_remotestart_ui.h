#pragma once
// The layout of the main window: its controls by their names (each control's
// objectName is its name), built by Setup. Private to the window, which wires them
// (form_remotestart.cpp); tests find them by objectName.

#include "desktop/main_window/start_button.h" // the one control of a type of our own

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QWidget;
class Shape_circle;

struct Form_remotestart_ui
{
    // Builds the controls on the window, as the layout has them: geometry, fonts,
    // colours, captions, tab order, the menus and the (stopped) timers. Nothing is
    // connected here.
    void Setup(QMainWindow *window);

    // How the board's panel shows what the trigger tells.
    void Show_armed(bool armed);
    void Show_board_attached(int serial);
    void Show_board_detached();
    void Show_input_state(bool closed); // input 0

    QWidget *client_area = nullptr;
    QGroupBox *Frame_PC_time = nullptr;
    QLabel *Label_PC_Time = nullptr;
    QLabel *Label1 = nullptr;

    QGroupBox *Frame_active = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label_active_heat = nullptr;
    QLabel *Label_heat_status = nullptr;
    Start_button *Command_start = nullptr;
    QPushButton *Command_abort = nullptr;

    QGroupBox *Frame_msg_from_goal = nullptr;
    QPlainTextEdit *Text_from_goal = nullptr;

    QGroupBox *Frame_to_goal = nullptr;
    QPlainTextEdit *Text_to_goal = nullptr;
    QLineEdit *Text_to_send = nullptr;
    QPushButton *Command_send = nullptr;

    QGroupBox *Frame_connection = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *Text_host = nullptr;
    QPushButton *Command_connect = nullptr;
    QPushButton *Command_disconnect = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label_status = nullptr;

    QGroupBox *Frame_Phidget = nullptr;
    QLabel *Label_phidget_serial = nullptr;
    QGroupBox *Frame_phidget_control = nullptr;
    QLabel *Label2 = nullptr;
    Shape_circle *Shape1 = nullptr;
    QLabel *Label_inp_status = nullptr;
    QLabel *Label7 = nullptr;
    QPushButton *Command_Phidget_Active = nullptr;

    QLabel *Label_message = nullptr; // in the status bar

    QMenu *Menu_Form = nullptr;
    QAction *item_race_journal = nullptr;
    QAction *item_reconnect = nullptr;
    QAction *item_exit = nullptr;
    QMenu *menu_help = nullptr;
    QAction *item_about = nullptr;
    QMenu *menu_debug = nullptr;
    QAction *item_linescroll = nullptr;
    QAction *item_ring = nullptr;

    QTimer *Timer1 = nullptr;
    QTimer *Timer_Keyb_event = nullptr;
};

#pragma once
// The main window: the remote starter.

#include "main_window/main_window_ui.h"

#include <QMainWindow>
#include <memory>

class Instance_lock;
class Remote_connection;
class Start_trigger;

class Form_remotestart : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form_remotestart(QWidget *parent = nullptr);
    ~Form_remotestart() override;

    const Main_window_ui &Ui() const { return ui_; }
    Remote_connection *Connection() const { return connection_; }
    Start_trigger *Trigger() const { return trigger_; }

    // The start-up sequence; a failure in it is reported and the window still opens.
    // Afterwards Exit_requested tells whether it ended the program.
    void Form_Load();
    bool Exit_requested() const { return exit_requested_; }

    void Timer1_Timer();
    void Menu_Form_Click();
    void Text_host_LostFocus();
    void Program_Exit();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Build_layout();
    void Build_menus();
    void Init_program();

    Main_window_ui ui_;
    Remote_connection *connection_ = nullptr;
    Start_trigger *trigger_ = nullptr;
    std::unique_ptr<Instance_lock> instance_lock_;
    bool exit_requested_ = false;
    bool exiting_ = false;
    bool shown_once_ = false;
};

#pragma once
// The connection to the timing server and the start protocol on the main window.

#include "main_window/main_window_ui.h"

#include <QObject>
#include <functional>

class Remote_connection : public QObject
{
    Q_OBJECT
public:
    Remote_connection(const Main_window_ui &ui, QObject *parent);

    // Called when received data asks for the ring tone.
    void Set_ring(std::function<void()> ring) { ring_ = std::move(ring); }

    void Create_logs();           // the two 10-line logs, at load
    void Update_TCP_status();
    void Close_socket();          // at program exit, whatever the state
    void Send_Start_Command();    // exactly what the Start button does
    void item_linescroll_Click();

private:
    Main_window_ui ui_;
    std::function<void()> ring_;
};

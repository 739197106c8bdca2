#pragma once
// The hardware start trigger on the main window: the InterfaceKit, the arm
// button, the keep-awake key timer and the ring tone.

#include "main_window/main_window_ui.h"

#include <QByteArray>
#include <QObject>
#include <functional>
#include <memory>

class Interface_kit;

class Start_trigger : public QObject
{
    Q_OBJECT
public:
    Start_trigger(const Main_window_ui &ui, std::function<void()> send_start, QObject *parent);
    ~Start_trigger() override;

    bool Phidget_Armed() const { return armed_; }
    const QByteArray &Ringtone_wave() const { return ringtone_wave_; }
    Interface_kit *obj_Phidget() const { return kit_.get(); }

    void Check_Command_Phidget_Active();
    void Load_Ringtone();       // fills Ringtone_wave unless it holds something
    void Open_InterfaceKit();   // creates the InterfaceKit and opens it
    void Play_Ring();           // plays the ring tone once, without waiting

    void Command_Phidget_Active_Click();
    void obj_Phidget_OnAttach();
    void obj_Phidget_OnDetach();
    void obj_Phidget_OnInputChange(int index, bool state);

private:
    Main_window_ui ui_;
    std::function<void()> send_start_;
    bool armed_ = false;
    QByteArray ringtone_wave_;
    std::unique_ptr<Interface_kit> kit_;
};

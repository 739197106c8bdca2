#pragma once
// The hardware start trigger without a window: the InterfaceKit (obj_Phidget) and
// the arm. It tells what happened by its signals; an armed input change sends a
// start through the connection's writer on the vendor library's thread, as the
// change happens: it never waits for the thread that owns the trigger.

#include <QObject>
#include <atomic>
#include <memory>
#include <thread>

class Interface_kit;
class Message_writer;

class Start_trigger : public QObject
{
    Q_OBJECT
public:
    explicit Start_trigger(QObject *parent = nullptr);
    // Closes the board, waiting at most Close_wait_ms for the library: a driver that
    // never returns from its close is left behind, so the program can still end.
    ~Start_trigger() override;
    static constexpr int Close_wait_ms = 2000;

    // Where its starts go; set once, before Open_InterfaceKit.
    void Set_writer(Message_writer *writer) { writer_ = writer; }

    bool Phidget_Armed() const { return armed_.load(); }
    void Set_armed(bool armed);

    // Creates the InterfaceKit through the vendor library and opens it on a thread
    // of its own: loading and opening a driver may take long, or never end, and must
    // not hold the caller. Without a usable library no event ever comes.
    void Open_InterfaceKit();

signals:
    void Attached(int serial);
    void Detached();
    void Input_state_changed(bool closed); // input 0, read after any input changed
    void Armed_changed(bool armed);
    // Armed, an input changed, and the start could not be given: not connected
    // (emitted on the vendor library's thread).
    void Start_refused();

private:
    void obj_Phidget_OnAttach();
    void obj_Phidget_OnDetach();
    void obj_Phidget_OnInputChange(int index, bool state);
    void Start_if_armed(int index); // on the library's thread

    std::atomic<bool> armed_{false}; // read on the library's thread
    std::unique_ptr<Interface_kit> kit_;
    std::thread opener_;
    Message_writer *writer_ = nullptr;
};

#pragma once
// The little the trigger needs of an InterfaceKit board. Events arrive on the
// thread that owns the object, whatever thread the hardware library uses; an input
// change is also told at once on the library's own thread.

#include <QObject>
#include <optional>

class Interface_kit : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts looking for the first board found. False when the library is unusable;
    // no event ever arrives then. May be called on any thread, and may take long.
    virtual bool Open() = 0;
    // Ends the board's events: none arrives once it returns. On any thread, after
    // Open() returned; the object may be deleted then.
    virtual void Close() = 0;
    // The serial number of the board attached last.
    virtual int Serial_number() const = 0;
    // True for a closed contact; nothing when the board cannot be asked.
    virtual std::optional<bool> Input_state(int index) const = 0;

signals:
    void Attached();
    void Detached();
    void Input_changed(int index, bool state);
    // Raised on the library's thread as the change happens, before Input_changed: for
    // what must not wait for the owner's thread (a start). Connect with Qt::DirectConnection.
    void Input_changing(int index, bool state);
};

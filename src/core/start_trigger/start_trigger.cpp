#include "core/start_trigger/start_trigger.h"

#include "core/connection/message_writer.h"
#include "core/shared/facility.h"
#include "core/start_trigger/interface_kit.h"
#include "core/start_trigger/vendor_library.h"

#include <QSemaphore>

Start_trigger::Start_trigger(QObject *parent) : QObject(parent) {}

Start_trigger::~Start_trigger()
{
    if (!kit_)
        return;
    // The close runs after the open has returned, on a thread that may outlive us.
    enum State { Waiting, Closed, Abandoned };
    struct Closing
    {
        QSemaphore closed;
        std::atomic<int> state{Waiting};
    };
    const auto closing = std::make_shared<Closing>();
    Interface_kit *kit = kit_.release();
    std::thread([kit, opener = std::move(opener_), closing]() mutable {
        opener.join();
        kit->Close();
        if (closing->state.exchange(Closed) == Abandoned)
            kit->deleteLater(); // on its own thread, if that still runs
        else
            closing->closed.release();
    }).detach();
    const bool closed = closing->closed.tryAcquire(1, Close_wait_ms) || closing->state.exchange(Abandoned) == Closed;
    kit->disconnect(this);
    if (closed)
        delete kit;
    else
        qWarning("velantra-remote: the board's library did not close within %d ms; left behind.", Close_wait_ms);
}

void Start_trigger::Set_armed(bool armed)
{
    armed_.store(armed);
    emit Armed_changed(armed);
}

void Start_trigger::Open_InterfaceKit()
{
    if (kit_)
        return;
    kit_ = Facility<Vendor_library>::Get().Make_interface_kit();
    // The kit delivers its events on this object's thread, whatever thread the library uses.
    connect(kit_.get(), &Interface_kit::Attached, this, &Start_trigger::obj_Phidget_OnAttach);
    connect(kit_.get(), &Interface_kit::Detached, this, &Start_trigger::obj_Phidget_OnDetach);
    connect(kit_.get(), &Interface_kit::Input_changed, this, &Start_trigger::obj_Phidget_OnInputChange);
    connect(kit_.get(), &Interface_kit::Input_changing, this, &Start_trigger::Start_if_armed, Qt::DirectConnection);
    opener_ = std::thread([kit = kit_.get()] { kit->Open(); });
}

void Start_trigger::obj_Phidget_OnAttach()
{
    emit Attached(kit_->Serial_number());
}

void Start_trigger::obj_Phidget_OnDetach()
{
    // The arm is left as it is: a board attached again finds the trigger as before.
    emit Detached();
}

void Start_trigger::Start_if_armed(int index)
{
    // Any change of any input starts, whichever way it went.
    if (!armed_.load() || !writer_)
        return;
    if (writer_->Start({Message_source::Trigger, index}) == Send_result::Not_connected)
        emit Start_refused();
}

void Start_trigger::obj_Phidget_OnInputChange(int, bool)
{
    // The start has gone already (Start_if_armed); the lamp shows input 0.
    const std::optional<bool> closed = kit_->Input_state(0);
    if (closed) // else the board is gone already: the last known state stays on show
        emit Input_state_changed(*closed);
}

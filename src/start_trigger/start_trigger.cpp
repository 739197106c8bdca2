#include "start_trigger/start_trigger.h"

#include "connection/message_writer.h"
#include "shared/facility.h"
#include "start_trigger/interface_kit.h"
#include "start_trigger/vendor_library.h"

Start_trigger::Start_trigger(QObject *parent) : QObject(parent) {}

Start_trigger::~Start_trigger() = default;

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
    kit_->Open();
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

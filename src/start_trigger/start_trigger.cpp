#include "start_trigger/start_trigger.h"

#include "main_window/shape_circle.h"
#include "shared/play_sound.h"
#include "start_trigger/interface_kit.h"
#include "start_trigger/vendor_library.h"
#include "shared/facility.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>


namespace {

const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

} // namespace

Start_trigger::Start_trigger(const Main_window_ui &ui, std::function<void()> send_start,
                             QObject *parent)
    : QObject(parent), ui_(ui), send_start_(std::move(send_start))
{
    connect(ui_.Command_Phidget_Active, &QPushButton::clicked, this,
            &Start_trigger::Command_Phidget_Active_Click);
}

Start_trigger::~Start_trigger() = default;

void Start_trigger::Check_Command_Phidget_Active()
{
    QPushButton *button = ui_.Command_Phidget_Active;
    button->setText(armed_ ? QStringLiteral("Armed") : QStringLiteral("Unarmed"));
    const QColor color = armed_ ? Green : Red;
    button->setStyleSheet(QStringLiteral("background-color: %1;").arg(color.name()));
}

void Start_trigger::Load_Ringtone()
{
    if (!ringtone_wave_.isEmpty())
        return;
    QFile resource(QStringLiteral(":/CUSTOM/RINGTONE"));
    if (resource.open(QIODevice::ReadOnly))
        ringtone_wave_ = resource.readAll();
}

void Start_trigger::Open_InterfaceKit()
{
    if (kit_)
        return;
    kit_ = Facility<Vendor_library>::Get().Make_interface_kit();
    // The kit delivers its events on this thread; no widget is touched elsewhere.
    connect(kit_.get(), &Interface_kit::Attached, this, &Start_trigger::obj_Phidget_OnAttach);
    connect(kit_.get(), &Interface_kit::Detached, this, &Start_trigger::obj_Phidget_OnDetach);
    connect(kit_.get(), &Interface_kit::Input_changed, this, &Start_trigger::obj_Phidget_OnInputChange);
    // Without the library no event ever comes: the panel stays on "No Phidget!".
    kit_->Open();
}

void Start_trigger::Play_Ring()
{
    PlaySOUND(ringtone_wave_, false);
}

void Start_trigger::Command_Phidget_Active_Click()
{
    armed_ = !armed_;
    Check_Command_Phidget_Active();
}

void Start_trigger::obj_Phidget_OnAttach()
{
    ui_.Label_phidget_serial->setText(QStringLiteral("Serial : ") + QString::number(kit_->Serial_number()));
    ui_.Frame_Phidget->setEnabled(true);
    ui_.Frame_phidget_control->setVisible(true);
}

void Start_trigger::obj_Phidget_OnDetach()
{
    ui_.Label_phidget_serial->setText(QStringLiteral("Detached"));
    ui_.Frame_Phidget->setEnabled(false);
    ui_.Frame_phidget_control->setVisible(false);
    // The arm is left as it is: a board attached again finds the trigger as before.
}

void Start_trigger::obj_Phidget_OnInputChange(int, bool)
{
    // Any change of any input starts, whichever way it went; the lamp shows input 0.
    if (armed_ && send_start_)
        send_start_();
    const std::optional<bool> closed = kit_->Input_state(0);
    if (!closed)
        return; // the board is gone already: keep the last known state on show
    ui_.Shape1->Set_fill_color(*closed ? Green : Red);
    ui_.Label_inp_status->setText(*closed ? QStringLiteral("Closed") : QStringLiteral("Open"));
}

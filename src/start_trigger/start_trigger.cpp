#include "start_trigger/start_trigger.h"

#include "shared/non_dependant.h"

#include <QFile>
#include <QPushButton>

Start_trigger::Start_trigger(const Main_window_ui &ui, std::function<void()> send_start,
                             QObject *parent)
    : QObject(parent), ui_(ui), send_start_(std::move(send_start))
{
}

void Start_trigger::Check_Command_Phidget_Active()
{
    QPushButton *button = ui_.Command_Phidget_Active;
    button->setText(armed_ ? QStringLiteral("Armed") : QStringLiteral("Unarmed"));
    const QColor color = armed_ ? QColor(0, 255, 0) : QColor(255, 0, 0);
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

void Start_trigger::Open_InterfaceKit() {}

void Start_trigger::Play_Ring()
{
    PlaySOUND(ringtone_wave_, false);
}

#include "core/start_trigger/ring_tone.h"

#include "core/shared/play_sound.h"

#include <QFile>

void Ring_tone::Load_Ringtone()
{
    if (!ringtone_wave_.isEmpty())
        return;
    QFile resource(QStringLiteral(":/CUSTOM/RINGTONE"));
    if (resource.open(QIODevice::ReadOnly))
        ringtone_wave_ = resource.readAll();
}

void Ring_tone::Play_Ring()
{
    PlaySOUND(ringtone_wave_, false);
}

#include "shared/non_dependant.h"

// Filled in with the sound output.
void PlaySOUND(const QByteArray &wave, bool wait)
{
    Q_UNUSED(wave);
    Q_UNUSED(wait);
}

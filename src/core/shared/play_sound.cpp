#include "core/shared/play_sound.h"

#include "core/shared/facility.h"
#include "core/shared/failure.h"
#include "core/shared/sound_output.h"

void PlaySOUND(const QByteArray &wave, bool wait)
{
    qint16 line = 0;
    try {
        // The wave is held as its bytes already; an image that is no playable PCM
        // wave gives no sound and no message.
        line = 10;
        const std::optional<Wav_image> image = Read_wav_image(wave);
        line = 20;
        if (image)
            Facility<Sound_output>::Get().Play(*image, wait);
    } catch (...) {
        Report_failure(QStringLiteral("PlaySOUND"), line);
    }
}

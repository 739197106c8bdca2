#include "shared/play_sound.h"

#include "error_report/dkn_error_form.h"
#include "error_report/error_report_text.h"
#include "shared/facility.h"
#include "shared/sound_output.h"

#include <exception>

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
    } catch (const std::exception &e) {
        DKN_Error_Handler(QString::fromLocal8Bit(e.what()), Error_report::Failure_number(e), line,
                          QStringLiteral("PlaySOUND"), QString());
    } catch (...) {
        DKN_Error_Handler(Error_report::Unknown_failure_text, Error_report::Unknown_failure_number, line,
                          QStringLiteral("PlaySOUND"), QString());
    }
}

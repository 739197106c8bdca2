// The WAV reader: any image is refused or read into whole frames of a playable format.
#include "fuzz_check.h"
#include "core/shared/wav_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<Wav_image> image = Read_wav_image(bytes);
    if (!image)
        return 0;
    FUZZ_CHECK(image->channels >= 1 && (image->bits_per_sample == 8 || image->bits_per_sample == 16));
    FUZZ_CHECK(image->sample_rate >= 1 && image->sample_rate <= 1000000);
    FUZZ_CHECK(image->Bytes_per_frame() >= 1);
    FUZZ_CHECK(image->samples.size() % image->Bytes_per_frame() == 0);
    FUZZ_CHECK(image->samples.size() <= bytes.size());
    FUZZ_CHECK(image->Frame_count() * image->Bytes_per_frame() == image->samples.size());
    FUZZ_CHECK(image->Duration_ms() >= 0);
    return 0;
}

#pragma once
// A complete WAV file image held in memory, read the way the system's sound
// player takes one: PCM with 8 or 16 bits a sample, any channel count and rate.

#include <QByteArray>
#include <optional>

struct Wav_image
{
    int channels = 0;
    int sample_rate = 0;
    int bits_per_sample = 0; // 8 (unsigned) or 16 (signed, little-endian)
    QByteArray samples;      // whole frames only

    int Bytes_per_frame() const { return channels * bits_per_sample / 8; }
    qint64 Frame_count() const;
    qint64 Duration_ms() const;
};

// Nothing when the image is not a playable PCM wave: not RIFF/WAVE, another
// encoding or sample size, a missing chunk, or a chunk cut short.
std::optional<Wav_image> Read_wav_image(const QByteArray &bytes);

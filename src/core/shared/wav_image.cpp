#include "core/shared/wav_image.h"

#include <QtEndian>

namespace {

const quint16 Format_pcm = 0x0001;
const quint16 Format_extensible = 0xFFFE;

quint16 U16(const char *p) { return qFromLittleEndian<quint16>(p); }
quint32 U32(const char *p) { return qFromLittleEndian<quint32>(p); }

} // namespace

qint64 Wav_image::Frame_count() const
{
    const int frame = Bytes_per_frame();
    return frame > 0 ? samples.size() / frame : 0;
}

qint64 Wav_image::Duration_ms() const
{
    return sample_rate > 0 ? Frame_count() * 1000 / sample_rate : 0;
}

std::optional<Wav_image> Read_wav_image(const QByteArray &bytes)
{
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return std::nullopt;
    // The RIFF size may claim more than there is; a chunk that runs past the end
    // is refused below.
    const qint64 end = qMin<qint64>(bytes.size(), qint64(U32(bytes.constData() + 4)) + 8);

    Wav_image image;
    bool have_format = false;
    qint64 pos = 12;
    while (pos + 8 <= end) {
        const QByteArray id = bytes.mid(pos, 4);
        const qint64 size = U32(bytes.constData() + pos + 4);
        const qint64 body = pos + 8;
        if (body + size > end)
            return std::nullopt; // cut short
        const char *data = bytes.constData() + body;
        if (id == "fmt ") {
            if (size < 16)
                return std::nullopt;
            quint16 format = U16(data);
            const int channels = U16(data + 2);
            const quint32 rate = U32(data + 4);
            const int block_align = U16(data + 12);
            const int bits = U16(data + 14);
            if (format == Format_extensible) {
                // The sub-format GUID begins with the plain format tag.
                if (size < 40)
                    return std::nullopt;
                format = U16(data + 24);
            }
            if (format != Format_pcm || (bits != 8 && bits != 16) || channels < 1 || rate < 1
                || rate > 1000000 || block_align != channels * bits / 8)
                return std::nullopt;
            image.channels = channels;
            image.sample_rate = int(rate);
            image.bits_per_sample = bits;
            have_format = true;
        } else if (id == "data") {
            if (!have_format)
                return std::nullopt; // the samples mean nothing without their format
            const qint64 whole = size - size % image.Bytes_per_frame();
            image.samples = bytes.mid(body, whole);
            return image;
        }
        pos = body + size + (size & 1); // chunks are padded to an even length
    }
    return std::nullopt;
}

// The WAV images PlaySOUND plays and those it is silent on.

#include "core/shared/play_sound.h"
#include "core/shared/wav_image.h"
#include "support/test_support.h"

#include <QtEndian>
#include <QtTest>

namespace {

template <typename T>
QByteArray Le(T v) { return v = qToLittleEndian(v), QByteArray(reinterpret_cast<const char *>(&v), sizeof v); }

QByteArray Chunk(const QByteArray &id, const QByteArray &body)
{ return id + Le(quint32(body.size())) + body + QByteArray(body.size() % 2, '\0'); }

QByteArray Fmt(quint16 format, quint16 channels, quint32 rate, quint16 bits)
{ return Le(format) + Le(channels) + Le(rate) + Le(rate * channels * bits / 8) + Le(quint16(channels * bits / 8)) + Le(bits); }

QByteArray Riff(const QByteArray &chunks) { return "RIFF" + Le(quint32(chunks.size() + 4)) + "WAVE" + chunks; }
QByteArray Wav(const QByteArray &fmt, const QByteArray &data = QByteArray(8, '\0'))
{ return Riff(Chunk("fmt ", fmt) + Chunk("data", data)); }

} // namespace

class Tst_wav : public QObject
{
    Q_OBJECT

private slots:
    void plays_only_pcm_images_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("format"); // channels, rate, bits; empty: not playable
        QTest::addColumn<QByteArray>("samples");
        const QByteArray ring = File_bytes(QStringLiteral(":/CUSTOM/RINGTONE"));
        QTest::newRow("the ring tone") << ring << "2 16000 16" << ring.mid(ring.indexOf("data") + 8);
        QTest::newRow("8 bits mono, odd data padded, chunks before fmt")
            << Riff(Chunk("LIST", "abc") + Chunk("fmt ", Fmt(1, 1, 8000, 8)) + Chunk("data", "\x80\x90\x70"))
            << "1 8000 8" << QByteArray("\x80\x90\x70");
        QTest::newRow("16 bits, six channels, a part frame dropped")
            << Wav(Fmt(1, 6, 48000, 16), QByteArray(12 * 3 + 5, '\1')) << "6 48000 16" << QByteArray(36, '\1');
        // Extension: 22 bytes, 16 valid bits, front left and right, the PCM sub-format.
        QTest::newRow("extensible PCM") << Wav(Fmt(0xFFFE, 2, 22050, 16) + QByteArray::fromHex(
            "160010000300000001000000000010008000""00aa00389b71")) << "2 22050 16" << QByteArray(8, '\0');
        const QByteArray fmt16 = Fmt(1, 1, 8000, 16);
        const std::pair<const char *, QByteArray> unplayable[] = {
            {"cut in the header", ring.left(30)}, {"cut in the samples", ring.left(ring.size() - 100)},
            {"not RIFF", "RIFX" + ring.mid(4)}, {"float samples", Wav(Fmt(3, 1, 8000, 32))},
            {"24 bits", Wav(Fmt(1, 2, 44100, 24), QByteArray(12, 0))}, {"no channels", Wav(Fmt(1, 0, 8000, 16))},
            {"fmt too short", Wav(fmt16.left(12))}, {"no data", Riff(Chunk("fmt ", fmt16))},
            {"data before fmt", Riff(Chunk("data", QByteArray(8, 0)) + Chunk("fmt ", fmt16))}};
        for (const auto &[name, image] : unplayable)
            QTest::newRow(name) << image << QString() << QByteArray();
    }

    void plays_only_pcm_images()
    {
        QFETCH(QByteArray, image);
        Message_recorder messages;
        Sound_recorder sound;
        const std::optional<Wav_image> wave = Read_wav_image(image);
        QTEST(wave ? QStringLiteral("%1 %2 %3").arg(wave->channels).arg(wave->sample_rate).arg(wave->bits_per_sample) : QString(), "format");
        QTEST(wave ? wave->samples : QByteArray(), "samples");
        PlaySOUND(image, true); // an unplayable one is silent, and says nothing
        QCOMPARE(sound.played, wave ? QStringList{QStringLiteral("%1 1").arg(wave->Frame_count())} : QStringList());
        QVERIFY(messages.Messages().isEmpty());
    }
};

QTEST_GUILESS_MAIN(Tst_wav)
#include "tst_wav.moc"

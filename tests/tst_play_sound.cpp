// The WAV reader, what PlaySOUND hands the output, and the ring tone played for
// real on the sound server while its output is recorded.

#include "shared/non_dependant.h"
#include "shared/sound.h"
#include "shared/wav_image.h"
#include "support/test_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

// The program's ring tone, from its resources.
static QByteArray Ringtone()
{
    QFile file(QStringLiteral(":/CUSTOM/RINGTONE"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

QByteArray Le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray Le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray Chunk(const QByteArray &id, const QByteArray &body)
{
    QByteArray c = id + Le32(quint32(body.size())) + body;
    if (body.size() % 2)
        c.append('\0');
    return c;
}

QByteArray Fmt(quint16 format, quint16 channels, quint32 rate, quint16 bits)
{
    const quint16 align = quint16(channels * bits / 8);
    return Le16(format) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
}

QByteArray Riff(const QByteArray &chunks)
{
    return "RIFF" + Le32(quint32(chunks.size() + 4)) + "WAVE" + chunks;
}

// Milliseconds of sound in raw 16-bit stereo at 16 kHz: 10 ms blocks whose loudest
// sample stands clearly above silence.
int Sound_ms(const QByteArray &raw)
{
    const int block = 160 * 2 * 2;
    int loud = 0;
    for (qsizetype at = 0; at + block <= raw.size(); at += block) {
        int peak = 0;
        for (int i = 0; i < block; i += 2)
            peak = qMax(peak, qAbs(int(qFromLittleEndian<qint16>(raw.constData() + at + i))));
        if (peak > 300)
            loud += 10;
    }
    return loud;
}

bool Sound_server_up()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

QString Default_sink()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("get-default-sink")});
    pactl.waitForFinished(5000);
    return QString::fromLocal8Bit(pactl.readAllStandardOutput()).trimmed();
}

} // namespace

class Tst_play_sound : public QObject
{
    Q_OBJECT

    QList<QPair<Wav_image, bool>> played_;
    Sound::Hook previous_;

private slots:
    void reads_pcm_images_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("frames");

        QTest::newRow("the ring tone") << Ringtone() << 2 << 16000 << 16 << 8922;
        QTest::newRow("8 bits mono, odd data padded, chunks before fmt")
            << Riff(Chunk("LIST", "abc") + Chunk("fmt ", Fmt(1, 1, 8000, 8)) + Chunk("data", "\x80\x90\x70"))
            << 1 << 8000 << 8 << 3;
        QTest::newRow("16 bits, six channels, a part frame dropped")
            << Riff(Chunk("fmt ", Fmt(1, 6, 48000, 16)) + Chunk("data", QByteArray(12 * 3 + 5, '\1')))
            << 6 << 48000 << 16 << 3;
        QByteArray extensible = Fmt(0xFFFE, 2, 22050, 16) + Le16(22) + Le16(16) + Le32(3) + Le16(1)
                                + QByteArray::fromHex("000000001000800000aa00389b71");
        QTest::newRow("extensible PCM")
            << Riff(Chunk("fmt ", extensible) + Chunk("data", QByteArray(8, '\0'))) << 2 << 22050 << 16 << 2;
    }

    void reads_pcm_images()
    {
        QFETCH(QByteArray, image);
        const std::optional<Wav_image> wave = Read_wav_image(image);
        QVERIFY(wave);
        QTEST(wave->channels, "channels");
        QTEST(wave->sample_rate, "rate");
        QTEST(wave->bits_per_sample, "bits");
        QTEST(int(wave->Frame_count()), "frames");
    }

    void refuses_what_is_not_playable_pcm_data()
    {
        QTest::addColumn<QByteArray>("image");
        const QByteArray ring = Ringtone();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut in the header") << ring.left(30);
        QTest::newRow("cut in the samples") << ring.left(ring.size() - 100);
        QTest::newRow("not RIFF") << QByteArray("RIFX") + ring.mid(4);
        QTest::newRow("float samples") << Riff(Chunk("fmt ", Fmt(3, 1, 8000, 32)) + Chunk("data", QByteArray(8, 0)));
        QTest::newRow("24 bits") << Riff(Chunk("fmt ", Fmt(1, 2, 44100, 24)) + Chunk("data", QByteArray(12, 0)));
        QTest::newRow("ADPCM") << Riff(Chunk("fmt ", Fmt(2, 1, 8000, 4) + Le16(0)) + Chunk("data", QByteArray(8, 0)));
        QTest::newRow("no channels") << Riff(Chunk("fmt ", Fmt(1, 0, 8000, 16)) + Chunk("data", QByteArray(8, 0)));
        QTest::newRow("data before fmt") << Riff(Chunk("data", QByteArray(8, 0)) + Chunk("fmt ", Fmt(1, 1, 8000, 16)));
        QTest::newRow("no data") << Riff(Chunk("fmt ", Fmt(1, 1, 8000, 16)));
        QByteArray short_fmt = Riff(Chunk("fmt ", Fmt(1, 1, 8000, 16).left(12)) + Chunk("data", QByteArray(8, 0)));
        QTest::newRow("fmt too short") << short_fmt;
    }

    void refuses_what_is_not_playable_pcm()
    {
        QFETCH(QByteArray, image);
        QVERIFY(!Read_wav_image(image));

        // And PlaySOUND stays silent about it.
        played_.clear();
        previous_ = Sound::Set_Test_Hook([this](const Wav_image &w, bool wait) { played_.append({w, wait}); });
        Message_recorder messages;
        PlaySOUND(image, false);
        Sound::Set_Test_Hook(std::move(previous_));
        QVERIFY(played_.isEmpty());
        QVERIFY(messages.Messages().isEmpty());
    }

    void play_sound_hands_over_the_wave_and_the_wait_flag()
    {
        played_.clear();
        previous_ = Sound::Set_Test_Hook([this](const Wav_image &w, bool wait) { played_.append({w, wait}); });
        const QByteArray ring = Ringtone();
        PlaySOUND(ring, false);
        PlaySOUND(ring, true);
        Sound::Set_Test_Hook(std::move(previous_));
        QCOMPARE(played_.size(), 2);
        QCOMPARE(played_[0].first.samples, ring.mid(ring.indexOf("data") + 8));
        QCOMPARE(played_[0].second, false);
        QCOMPARE(played_[1].second, true);
    }

    void ring_tone_is_heard_on_the_sound_server()
    {
        if (!Sound_server_up()) {
            if (Services_required())
                QFAIL("no sound server answers (tests/services/pulseaudio.sh starts one)");
            QSKIP("no sound server answers: start one with tests/services/pulseaudio.sh");
        }
        const QString sink = Default_sink();
        QVERIFY(!sink.isEmpty());

        QTemporaryDir dir;
        const QString capture = dir.filePath(QStringLiteral("capture.raw"));
        QProcess recorder;
        recorder.start(QStringLiteral("parecord"),
                       {QStringLiteral("--raw"), QStringLiteral("--format=s16le"), QStringLiteral("--rate=16000"),
                        QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20"),
                        QStringLiteral("--device=") + sink + QStringLiteral(".monitor"), capture});
        QVERIFY(recorder.waitForStarted());
        // Recording has begun once the first silence is written.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(capture).size() > 3200, 10000);

        // Without waiting: the call returns while the tone plays on.
        PlaySOUND(Ringtone(), false);
        QVERIFY(Sound::Playing());
        QTRY_VERIFY_WITH_TIMEOUT(!Sound::Playing(), 10000);

        const auto file_size = [&] { return QFileInfo(capture).size(); };
        const auto captured = [&] {
            QFile f(capture);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(Sound_ms(captured()) >= 400, 10000);
        // Half a second of silence after it, so the whole tone is in the file.
        const qint64 after = file_size();
        QTRY_VERIFY_WITH_TIMEOUT(file_size() > after + 32000, 10000);
        recorder.terminate();
        QVERIFY(recorder.waitForFinished(5000));

        const int heard = Sound_ms(captured());
        // The tone lasts 558 ms (550 ms in whole loud blocks); all of it must be heard,
        // its end included, and only once.
        QVERIFY2(heard >= 500 && heard <= 650, qPrintable(QStringLiteral("heard %1 ms").arg(heard)));

        qInfo("heard %d ms of the ring tone", heard);

        // With the wait flag the call returns only when the tone is over: a moment into
        // the tone, the call is still running and the tone is playing.
        bool inside_call = false;
        bool playing_then = false;
        QTimer::singleShot(100, [&] {
            inside_call = true;
            playing_then = Sound::Playing();
        });
        PlaySOUND(Ringtone(), true);
        QVERIFY(inside_call);
        QVERIFY(playing_then);
        QVERIFY(!Sound::Playing());
    }
};

QTEST_MAIN(Tst_play_sound)
#include "tst_play_sound.moc"

// The ring tone played for real on the sound server while the server's output is
// recorded, and a machine without a sound device, where nothing plays and nothing is said.

#include "desktop/platform/freedesktop/alsa_sound_output.h"
#include "core/shared/facility.h"
#include "core/shared/play_sound.h"
#include "core/shared/sound_output.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>

#include <unistd.h>

namespace {

bool Playing() { return Facility<Sound_output>::Get().Playing(); }

// Milliseconds of sound in a raw 16-bit stereo 16 kHz recording: 10 ms blocks with
// a sample clearly above silence.
int Sound_ms(const QString &path)
{
    const QByteArray raw = File_bytes(path);
    const auto *samples = reinterpret_cast<const qint16 *>(raw.constData()); // a little-endian host
    int loud = 0;
    for (qsizetype at = 0; at + 320 <= raw.size() / 2; at += 320)
        loud += std::any_of(samples + at, samples + at + 320, [](qint16 v) { return qAbs(v) > 300; }) ? 10 : 0;
    return loud;
}

// What the process writes on stderr while the calls run.
QByteArray Stderr_of(const std::function<void()> &calls)
{
    QTemporaryFile file;
    if (!file.open())
        return "(no file)";
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(file.handle(), 2);
    calls();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return File_bytes(file.fileName());
}

} // namespace

class Tst_play_sound : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // ALSA's default device goes to the sound server in PULSE_SERVER, whatever this
        // machine's own ALSA set-up says; velantra_none is a sound card that is not there.
        QVERIFY(Write_file(config_.filePath("asound.conf"),
                           "pcm.!default { type pulse }\nctl.!default { type pulse }\n"
                           "pcm.velantra_none { type hw card velantra_no_card }\n"));
        qputenv("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf:" + QFile::encodeName(config_.filePath("asound.conf")));
    }

    void without_a_sound_device_nothing_plays_and_nothing_is_said()
    {
        const QByteArray ring_tone = File_bytes(QStringLiteral(":/CUSTOM/RINGTONE"));
        Alsa_sound_output none("velantra_none");
        Scoped_facility<Sound_output> use(none);
        qint64 held_ms = 0;
        bool still_playing = false;
        const QByteArray said = Stderr_of([&] {
            QElapsedTimer waited;
            waited.start();
            PlaySOUND(ring_tone, true);
            held_ms = waited.elapsed();
            PlaySOUND(ring_tone, false);
            still_playing = !QTest::qWaitFor([] { return !Playing(); });
        });
        QCOMPARE(said, QByteArray());
        QVERIFY(!still_playing);
        // Not held for the wait's bound (the tone and 3 s), as an end never signalled would hold it.
        QVERIFY2(held_ms < 3000, "the missing device held the caller up");
    }

    void ring_tone_is_heard_on_the_sound_server()
    {
        // In CI the server must be there (tests/services/pulseaudio.sh starts one).
        if (QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("info")}) != 0 && !Services_required())
            QSKIP("no sound server answers: start one with tests/services/pulseaudio.sh");
        QTemporaryDir dir;
        const QString capture = dir.filePath(QStringLiteral("capture.raw"));
        const auto size = [&] { return QFileInfo(capture).size(); };
        QProcess recorder;
        recorder.start(QStringLiteral("parecord"),
                       QStringLiteral("--raw --format=s16le --rate=16000 --channels=2 --latency-msec=20 "
                                      "--device=@DEFAULT_MONITOR@").split(QLatin1Char(' ')) << capture);
        QTRY_VERIFY_WITH_TIMEOUT(size() > 3200, 10000); // recording once the first silence is in

        const QByteArray ring_tone = File_bytes(QStringLiteral(":/CUSTOM/RINGTONE"));
        PlaySOUND(ring_tone, false); // returns while the tone plays on
        QVERIFY(Playing());
        QTRY_VERIFY_WITH_TIMEOUT(!Playing() && Sound_ms(capture) >= 350, 10000);
        // Asked to wait, it returns once the tone has ended (the recorder lags behind).
        const int once = Sound_ms(capture);
        PlaySOUND(ring_tone, true);
        QVERIFY(!Playing());
        QTRY_VERIFY_WITH_TIMEOUT(Sound_ms(capture) >= once + 350, 5000);
        // Half a second of silence after it, so the whole tone is in the file.
        const qint64 after = size();
        QTRY_VERIFY_WITH_TIMEOUT(size() > after + 32000, 10000);
        recorder.terminate(), recorder.waitForFinished();
        // The tone lasts 558 ms (550 ms in whole loud blocks): about that is heard, twice.
        // A loaded machine may drop a block or two, so the bounds are not tight.
        const int heard = Sound_ms(capture);
        QVERIFY2(heard >= 700 && heard <= 1400, qPrintable(QStringLiteral("heard %1 ms").arg(heard)));
    }

private:
    QTemporaryDir config_;
};

VELANTRA_WINDOW_TEST_MAIN(Tst_play_sound)
#include "tst_play_sound.moc"

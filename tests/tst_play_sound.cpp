// The ring tone played for real on the sound server while the server's output is recorded.

#include "core/shared/facility.h"
#include "core/shared/play_sound.h"
#include "core/shared/sound_output.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QtTest>

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

} // namespace

class Tst_play_sound : public QObject
{
    Q_OBJECT

private slots:
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

        PlaySOUND(File_bytes(QStringLiteral(":/CUSTOM/RINGTONE")), false); // returns while the tone plays on
        QVERIFY(Playing());
        QTRY_VERIFY_WITH_TIMEOUT(!Playing() && Sound_ms(capture) >= 350, 10000);
        // Half a second of silence after it, so the whole tone is in the file.
        const qint64 after = size();
        QTRY_VERIFY_WITH_TIMEOUT(size() > after + 32000, 10000);
        recorder.terminate(), recorder.waitForFinished();
        // The tone lasts 558 ms (550 ms in whole loud blocks): about that is heard, once. A
        // loaded machine may drop a block or two, so the bounds are not tight.
        const int heard = Sound_ms(capture);
        QVERIFY2(heard >= 350 && heard <= 700, qPrintable(QStringLiteral("heard %1 ms").arg(heard)));
    }
};

VELANTRA_WINDOW_TEST_MAIN(Tst_play_sound)
#include "tst_play_sound.moc"

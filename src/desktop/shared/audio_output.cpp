#include "desktop/shared/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>

namespace {

// Owns the sink of the sound playing now; lives as long as the application.
class Player : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    static Player *Instance()
    {
        static QPointer<Player> player;
        if (!player && QCoreApplication::instance())
            player = new Player(QCoreApplication::instance());
        return player;
    }

    bool Playing() const { return sink_ != nullptr; }

    void Play(const Wav_image &wave, bool wait)
    {
        Stop();
        if (wave.samples.isEmpty())
            return;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return; // no audio output here: silence, and nothing to tell

        QAudioFormat format;
        format.setSampleRate(wave.sample_rate);
        format.setChannelCount(wave.channels);
        format.setSampleFormat(wave.bits_per_sample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);

        buffer_ = new QBuffer(this);
        buffer_->setData(wave.samples);
        buffer_->open(QIODevice::ReadOnly);
        sink_ = new QAudioSink(device, format, this);
        QAudioSink *sink = sink_;
        connect(sink_, &QAudioSink::stateChanged, this, [this, sink, format](QAudio::State state) {
            if (state == QAudio::StoppedState) {
                Stop(); // the output refused or failed
            } else if (state == QAudio::IdleState) {
                // Everything is handed to the output, but what it holds still has to be
                // heard: stopping now would cut off the end of the sound.
                const qint64 held_ms = format.durationForBytes(sink->bufferSize()) / 1000;
                QTimer::singleShot(int(qBound<qint64>(0, held_ms, qint64(5000))) + 50, this, [this, sink] {
                    if (sink_ == sink)
                        Stop();
                });
            }
        });
        sink_->start(buffer_);
        if (sink_ && sink_->state() == QAudio::StoppedState)
            Stop();
        if (!wait || !sink_)
            return;

        QEventLoop loop;
        connect(this, &Player::Ended, &loop, &QEventLoop::quit);
        // However the output behaves, the caller is not held much past the sound's length.
        QTimer::singleShot(int(qMin<qint64>(wave.Duration_ms() + 3000, 600000)), &loop, &QEventLoop::quit);
        loop.exec();
        Stop();
    }

signals:
    void Ended();

private:
    void Stop()
    {
        if (!sink_)
            return;
        QAudioSink *sink = sink_;
        QBuffer *buffer = buffer_;
        sink_ = nullptr;
        buffer_ = nullptr;
        sink->disconnect(this);
        sink->stop();
        // Not deleted here: Stop may run inside the sink's own signal.
        sink->deleteLater();
        buffer->deleteLater();
        emit Ended();
    }

    QAudioSink *sink_ = nullptr;
    QBuffer *buffer_ = nullptr;
};

} // namespace

void Audio_output::Play(const Wav_image &wave, bool wait)
{
    if (Player *player = Player::Instance())
        player->Play(wave, wait);
}

bool Audio_output::Playing() const
{
    Player *player = Player::Instance();
    return player && player->Playing();
}

#include "audio_output.moc"

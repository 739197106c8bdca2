#include "desktop/platform/freedesktop/alsa_sound_output.h"

#include "core/shared/library_calls.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>

namespace {

// ALSA reports its troubles on stderr by default (no card, no server): here a missing
// device is an ordinary state, so nothing of it is printed.
void Quiet(const char *, int, const char *, int, const char *, ...) {}

// The ALSA library is loaded by the first sound, on the sound's thread, not at the start:
// most starts never ring, and the window's first paint does not wait for it.
struct Alsa_calls
{
    decltype(&snd_pcm_open) open = nullptr;
    decltype(&snd_pcm_nonblock) nonblock = nullptr;
    decltype(&snd_pcm_set_params) set_params = nullptr;
    decltype(&snd_pcm_writei) writei = nullptr;
    decltype(&snd_pcm_recover) recover = nullptr;
    decltype(&snd_pcm_delay) delay = nullptr;
    decltype(&snd_pcm_drop) drop = nullptr;
    decltype(&snd_pcm_close) close = nullptr;
    bool Loaded() const { return open && nonblock && set_params && writei && recover && delay && drop && close; }
};

const Alsa_calls &Alsa()
{
    static const Alsa_calls calls = [] {
        Alsa_calls c;
        QLibrary library(QStringLiteral("asound"), 2);
        if (!library.load())
            return c; // no sound here: silence, as without a device
        decltype(&snd_lib_error_set_handler) set_handler = nullptr;
        if (Resolve(library, "snd_lib_error_set_handler", set_handler))
            set_handler(&Quiet);
        Resolve(library, "snd_pcm_open", c.open);
        Resolve(library, "snd_pcm_nonblock", c.nonblock);
        Resolve(library, "snd_pcm_set_params", c.set_params);
        Resolve(library, "snd_pcm_writei", c.writei);
        Resolve(library, "snd_pcm_recover", c.recover);
        Resolve(library, "snd_pcm_delay", c.delay);
        Resolve(library, "snd_pcm_drop", c.drop);
        Resolve(library, "snd_pcm_close", c.close);
        return c; // the library stays loaded for the process's life
    }();
    return calls;
}

// How much the device holds ahead of what is heard: short, so a new sound cuts in soon.
constexpr unsigned int Latency_us = 100000;

} // namespace

Alsa_sound_output::Alsa_sound_output(std::string device) : device_(std::move(device)) {}

Alsa_sound_output::~Alsa_sound_output()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void Alsa_sound_output::Play(const Wav_image &wave, bool wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t number = ++asked_;
    next_ = wave; // replaces one not yet begun; the one playing sees it and stops
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
    changed_.notify_all();
    if (!wait)
        return;
    // Bounded, whatever the device does: the caller is not held much past the sound.
    const auto bound = std::chrono::milliseconds(std::min<qint64>(wave.Duration_ms() + 3000, 600000));
    changed_.wait_for(lock, bound, [&] { return ended_ >= number; });
}

bool Alsa_sound_output::Playing() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_ != asked_;
}

bool Alsa_sound_output::Superseded(std::uint64_t number) const { return quit_ || asked_ != number; }

void Alsa_sound_output::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || next_.has_value(); });
        if (quit_)
            return;
        const Wav_image wave = std::move(*next_);
        next_.reset();
        const std::uint64_t number = asked_;
        lock.unlock();
        Write(wave, number);
        lock.lock();
        ended_ = std::max(ended_, number);
        changed_.notify_all();
    }
}

void Alsa_sound_output::Write(const Wav_image &wave, std::uint64_t number)
{
    const auto superseded = [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        return Superseded(number);
    };
    const qint64 frame_bytes = wave.Bytes_per_frame();
    const qint64 frames = wave.Frame_count();
    if (frames <= 0 || frame_bytes <= 0)
        return;
    // Opened without blocking, so a device another program holds is a silence, not a hang;
    // the writes then block, on this thread only.
    const Alsa_calls &alsa = Alsa();
    snd_pcm_t *pcm = nullptr;
    if (!alsa.Loaded() || alsa.open(&pcm, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return; // no sound device here: silence, and nothing to tell
    const snd_pcm_format_t format = wave.bits_per_sample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    if (alsa.nonblock(pcm, 0) < 0
        || alsa.set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, unsigned(wave.channels),
                              unsigned(wave.sample_rate), 1, Latency_us) < 0) {
        alsa.close(pcm);
        return;
    }
    // In pieces of 20 ms, so a newer sound or the program's end cuts in between them.
    const qint64 piece = std::max<qint64>(1, wave.sample_rate / 50);
    const char *data = wave.samples.constData();
    qint64 done = 0;
    while (done < frames && !superseded()) {
        const snd_pcm_sframes_t written =
            alsa.writei(pcm, data + done * frame_bytes, snd_pcm_uframes_t(std::min(piece, frames - done)));
        if (written >= 0) {
            done += written;
        } else if (alsa.recover(pcm, int(written), 1) < 0) {
            break; // the device is gone (unplugged, the server ended)
        }
    }
    // What the device still holds is heard out, unless something newer cuts it short;
    // bounded, in case the device stops counting down.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Latency_us / 1000 + 2000);
    snd_pcm_sframes_t delay = 0;
    while (done == frames && alsa.delay(pcm, &delay) == 0 && delay > 0
           && std::chrono::steady_clock::now() < deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto held = std::chrono::milliseconds(std::clamp<qint64>(delay * 1000 / wave.sample_rate, 1, 20));
        if (changed_.wait_for(lock, held, [&] { return Superseded(number); }))
            break;
    }
    alsa.drop(pcm);
    alsa.close(pcm);
}

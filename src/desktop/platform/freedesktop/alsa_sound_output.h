#pragma once
// The sound output on a free desktop: ALSA's default device, which a desktop routes to its sound
// server (PulseAudio, PipeWire). The samples are written on a thread of its own, so a
// slow or stalled device holds up neither the window nor the connection.

#include "core/shared/sound_output.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class Alsa_sound_output final : public Sound_output
{
public:
    explicit Alsa_sound_output(std::string device = "default");
    ~Alsa_sound_output() override; // cuts a sound short and waits for its thread
    void Play(const Wav_image &wave, bool wait) override;
    bool Playing() const override;

private:
    void Run();
    // Plays one sound to its end; false when a newer one or the end came first.
    void Write(const Wav_image &wave, std::uint64_t number);
    bool Superseded(std::uint64_t number) const; // mutex_ held by the caller

    const std::string device_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Wav_image> next_;
    std::uint64_t asked_ = 0; // Play calls so far; each sound is known by its number
    std::uint64_t ended_ = 0; // the number of the last sound that has ended
    bool quit_ = false;
    std::thread thread_; // started by the first sound
};

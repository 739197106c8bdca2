#include "core/platform/win32/win32_sound.h"

#include "core/platform/win32/win32_api.h"

#include <mmsystem.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

std::mutex lock;
// The image playing now: PlaySound reads it while it plays, so it lives here until
// the next sound has stopped this one.
std::vector<char> image;
std::chrono::steady_clock::time_point ends;

void Put(std::vector<char> &out, std::size_t at, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out[at + std::size_t(i)] = char((value >> (8 * i)) & 0xff);
}

} // namespace

bool Win32_play_pcm(const char *samples, std::size_t bytes, int channels, int sample_rate, int bits, bool wait)
{
    std::lock_guard<std::mutex> guard(lock);
    PlaySoundW(nullptr, nullptr, 0); // stops the one playing, so its image may go
    ends = std::chrono::steady_clock::now();
    const int frame = channels * bits / 8;
    if (frame <= 0 || sample_rate <= 0 || bytes > 0xffffffffu - 36)
        return false;
    // A canonical WAV image: the 44-byte header, then the frames.
    image.assign(44 + bytes, 0);
    std::memcpy(image.data(), "RIFF", 4);
    Put(image, 4, std::uint32_t(36 + bytes), 4);
    std::memcpy(image.data() + 8, "WAVEfmt ", 8);
    Put(image, 16, 16, 4);
    Put(image, 20, 1, 2); // PCM
    Put(image, 22, std::uint32_t(channels), 2);
    Put(image, 24, std::uint32_t(sample_rate), 4);
    Put(image, 28, std::uint32_t(sample_rate * frame), 4);
    Put(image, 32, std::uint32_t(frame), 2);
    Put(image, 34, std::uint32_t(bits), 2);
    std::memcpy(image.data() + 36, "data", 4);
    Put(image, 40, std::uint32_t(bytes), 4);
    if (bytes > 0)
        std::memcpy(image.data() + 44, samples, bytes);
    // SND_NODEFAULT: where the image cannot play, silence rather than the system's chime.
    const DWORD how = SND_MEMORY | SND_NODEFAULT | (wait ? SND_SYNC : SND_ASYNC);
    if (!PlaySoundW(reinterpret_cast<LPCWSTR>(image.data()), nullptr, how))
        return false;
    if (!wait)
        ends += std::chrono::milliseconds(std::int64_t(bytes / std::size_t(frame)) * 1000 / sample_rate);
    return true;
}

bool Win32_sound_playing()
{
    std::lock_guard<std::mutex> guard(lock);
    return std::chrono::steady_clock::now() < ends;
}

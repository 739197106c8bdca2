#pragma once
// Sound on Windows: the system's own wave player (PlaySound). Qt-free (see win32_keyboard.h).

#include <cstddef>

// Plays PCM frames (8-bit unsigned or 16-bit signed, interleaved) on the default output;
// a sound still playing is cut off. wait: returns when it has ended. False when Windows
// plays nothing (no output device, a format it refuses).
bool Win32_play_pcm(const char *samples, std::size_t bytes, int channels, int sample_rate, int bits, bool wait);
// True until the last sound's length has passed since it began.
bool Win32_sound_playing();

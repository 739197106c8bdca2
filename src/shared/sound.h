#pragma once
// The sound output behind PlaySOUND: one sound at a time on the default audio
// output, as the system's player does; a new sound stops the one playing.

#include "shared/wav_image.h"

#include <functional>

namespace Sound {

// Plays the wave; wait: returns when it has ended. Without an audio output nothing
// plays and nothing is shown.
void Play(const Wav_image &wave, bool wait);

// True while a sound of ours is playing on the real output.
bool Playing();

// While set, sounds go to the hook instead of the output. Returns the previous hook.
using Hook = std::function<void(const Wav_image &wave, bool wait)>;
Hook Set_Test_Hook(Hook hook);

} // namespace Sound

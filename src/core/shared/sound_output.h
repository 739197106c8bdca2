#pragma once
// The sound-output facility behind PlaySOUND (see core/shared/facility.h): one sound at a
// time, as the system's player does; a new sound stops the one playing.

#include "core/shared/wav_image.h"

class Sound_output
{
public:
    virtual ~Sound_output() = default;
    // Plays the wave; wait: returns when it has ended. Without an audio output nothing
    // plays and nothing is shown.
    virtual void Play(const Wav_image &wave, bool wait) = 0;
    // True while a sound of ours is playing.
    virtual bool Playing() const = 0;
    static Sound_output &Fallback(); // silent
};

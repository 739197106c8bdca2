#pragma once
// The real sound output: the default audio output of Qt Multimedia.

#include "core/shared/sound_output.h"

class Audio_output final : public Sound_output
{
public:
    void Play(const Wav_image &wave, bool wait) override;
    bool Playing() const override;
};

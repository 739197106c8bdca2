#pragma once
// Plays a wave sound held in memory.

#include <QByteArray>

// Plays a complete WAV image; wait: return only when it has ended. An image that is
// no playable PCM wave gives no sound and no message; a failure goes to the failure
// route as "PlaySOUND" and the caller sees none.
void PlaySOUND(const QByteArray &wave, bool wait);

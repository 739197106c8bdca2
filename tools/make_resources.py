#!/usr/bin/env python3
"""Makes the program's own ring tone (resources/ringtone.wav).

A two-tone bell: 16-bit PCM, 2 channels, 16,000 samples a second, 8,922 frames,
so the file is exactly 35,732 bytes. The logo and the icon are drawn by
tools/make_images.sh.
"""
import math
import os
import struct

RATE = 16000
FRAMES = 8922
CHANNELS = 2


def ring_sample(i):
    t = i / RATE
    # Two bell partials, struck twice, each strike decaying.
    strike = t % (FRAMES / RATE / 2)
    envelope = math.exp(-strike * 9.0) * min(1.0, strike * 400.0)
    tone = 0.6 * math.sin(2 * math.pi * 880.0 * t) + 0.3 * math.sin(2 * math.pi * 1320.0 * t) \
        + 0.1 * math.sin(2 * math.pi * 2640.0 * t)
    fade_out = min(1.0, (FRAMES - i) / 200.0)
    return int(max(-1.0, min(1.0, tone * envelope * fade_out)) * 20000)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "..", "resources", "ringtone.wav")
    data = bytearray()
    for i in range(FRAMES):
        s = ring_sample(i)
        data += struct.pack("<hh", s, s)
    block_align = CHANNELS * 2
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, CHANNELS, RATE, RATE * block_align, block_align, 16)
    header += b"data" + struct.pack("<I", len(data))
    blob = header + bytes(data)
    assert len(blob) == 35732, len(blob)
    with open(out, "wb") as f:
        f.write(blob)


if __name__ == "__main__":
    main()

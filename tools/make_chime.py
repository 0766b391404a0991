#!/usr/bin/python3
"""Writes the time-up chime: three descending bell tones.

    make_chime.py OUTPUT.wav

tools/regenerate-resources.sh names the output as the build names the sound
(resources/CMakeLists.txt).

Each tone is a fundamental with a few slightly inharmonic partials (what makes
it sound like a bell rather than an organ), a soft 8 ms attack so it does not
click, and an exponential decay. The whole sound fades to exact zero at the
end, and the peak is normalised below full scale so nothing clips.
"""

import math
import struct
import sys
import wave

RATE = 44100
LENGTH_S = 1.5
PEAK = 0.70 * 32767

# Start time (s) and fundamental (Hz) of each strike: E6, C6, G5 falling.
STRIKES = ((0.00, 1318.51), (0.30, 1046.50), (0.60, 783.99))

# (frequency ratio, relative amplitude, decay time constant in s)
PARTIALS = ((1.0, 1.00, 0.45), (2.0, 0.35, 0.25), (2.76, 0.18, 0.15), (5.4, 0.06, 0.06))

ATTACK_S = 0.008
FADE_S = 0.25


def sample(t):
    value = 0.0
    for start, freq in STRIKES:
        dt = t - start
        if dt < 0:
            continue
        attack = min(1.0, dt / ATTACK_S)
        attack = 0.5 - 0.5 * math.cos(math.pi * attack)
        for ratio, amp, tau in PARTIALS:
            value += attack * amp * math.exp(-dt / tau) * math.sin(2 * math.pi * freq * ratio * dt)
    return value


def render():
    count = int(RATE * LENGTH_S)
    raw = [sample(i / RATE) for i in range(count)]
    fade_count = int(RATE * FADE_S)
    for i in range(fade_count):
        # Raised-cosine fade: ends at exactly zero with zero slope.
        k = i / (fade_count - 1)
        raw[count - fade_count + i] *= 0.5 + 0.5 * math.cos(math.pi * k)
    scale = PEAK / max(abs(v) for v in raw)
    return [int(round(v * scale)) for v in raw]


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    output = argv[1]
    samples = render()
    with wave.open(output, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

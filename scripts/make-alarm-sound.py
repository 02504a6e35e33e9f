#!/usr/bin/env python3
"""Writes the client's alarm signal, resources/alarm.wav (or the file named on the command line).

Two tones alternating high-low, like a siren of the old kind: unmistakable over a desk of
other sounds, and unlike any desktop's own event sounds. After changing a figure below, run
this again and commit the file with it.
usage: make-alarm-sound.py [OUTPUT]
"""
import math
import os
import struct
import sys
import wave

RATE = 22050  # Hz; ample for tones near 1 kHz and their third harmonic
HIGH, LOW = 960.0, 720.0  # Hz; a fourth apart, the interval of a two-tone horn
TONE = 0.18  # seconds per tone
PAIRS = 5
FADE = 0.008  # seconds of ramp at each tone edge; a hard edge clicks
LEVEL = 0.8  # peak, of full scale: loud, with headroom against clipping in a mixer
THIRD = 0.2  # weight of the third harmonic, which small laptop speakers still carry


def tone(freq):
    n = int(RATE * TONE)
    ramp = int(RATE * FADE)
    out = []
    for i in range(n):
        t = i / RATE
        edge = min(1.0, i / ramp, (n - 1 - i) / ramp)
        # Raised cosine: the ramp itself starts and ends without a kink.
        gain = 0.5 - 0.5 * math.cos(math.pi * edge)
        s = math.sin(2 * math.pi * freq * t) + THIRD * math.sin(6 * math.pi * freq * t)
        out.append(gain * s)
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "alarm.wav")
    high, low = tone(HIGH), tone(LOW)
    signal = (high + low) * PAIRS
    scale = 32767 * LEVEL / max(abs(s) for s in signal)
    samples = [round(scale * s) for s in signal]
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))


if __name__ == "__main__":
    main()

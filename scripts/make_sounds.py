#!/usr/bin/env python3
"""Writes the window's two completion sounds into ui/win32/res: Success.wav
(two short rising tones) and Error.wav (three low falling ones), 16-bit PCM
mono at 22050 Hz. Standard library only; the files are committed, so a
build never needs Python, and the build copies them beside gravelmoor.exe.
Run again after changing a sound; with --check it writes nothing and
fails when the committed files differ from what it would write."""
import io
import math
import os
import struct
import sys
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "ui", "win32", "res")
RATE = 22050
VOLUME = 0.45  # of full scale

# Each sound: (frequency in Hz, milliseconds) per tone, with a short gap.
SOUNDS = {
    "Success.wav": [(880, 110), (1318, 190)],
    "Error.wav": [(392, 150), (330, 150), (262, 260)],
}
GAP_MS = 40
FADE_MS = 8  # in and out of every tone, so that it does not click


def tone(frequency, milliseconds):
    count = RATE * milliseconds // 1000
    fade = RATE * FADE_MS // 1000
    samples = []
    for i in range(count):
        envelope = min(1.0, i / fade, (count - 1 - i) / fade)
        value = VOLUME * envelope * math.sin(2 * math.pi * frequency * i / RATE)
        samples.append(int(round(value * 32767)))
    return samples


def wav_bytes(tones):
    samples = []
    for frequency, milliseconds in tones:
        samples += tone(frequency, milliseconds) + [0] * (RATE * GAP_MS // 1000)
    data = io.BytesIO()
    with wave.open(data, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))
    return data.getvalue()


def main(argv):
    check = argv[1:] == ["--check"]
    stale = []
    for name, tones in SOUNDS.items():
        path = os.path.join(OUT, name)
        data = wav_bytes(tones)
        if not check:
            with open(path, "wb") as f:
                f.write(data)
            continue
        try:
            with open(path, "rb") as f:
                same = f.read() == data
        except OSError:
            same = False
        if not same:
            stale.append(path)
    for path in stale:
        print("%s differs from what scripts/make_sounds.py writes" % os.path.normpath(path), file=sys.stderr)
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

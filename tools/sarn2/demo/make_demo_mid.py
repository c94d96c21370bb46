#!/usr/bin/env python3
"""Writes demo.mid, the piece scripts/demo.sh renders: about half a minute
that walks through several presets by program change, with chords, a bass
line on a second channel, pitch bends, a tempo change and rests that let
the release be heard. Standard library only; run it to regenerate."""
import os
import struct

TICKS = 480  # per beat


def variable(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def track(events, end_tick):
    # Note-offs (0x8n) sort before anything else at the same tick.
    events = sorted(events, key=lambda e: (e[0], 0 if (e[1][0] & 0xF0) == 0x80 else 1))
    body, now = b"", 0
    for tick, data in events:
        body += variable(tick - now) + bytes(data)
        now = tick
    body += variable(max(0, end_tick - now)) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def beats(b):
    return int(round(b * TICKS))


def tempo(tick, bpm):
    us = int(round(60_000_000 / bpm))
    return (tick, [0xFF, 0x51, 0x03, us >> 16, (us >> 8) & 0xFF, us & 0xFF])


class Part:
    def __init__(self, channel):
        self.channel = channel
        self.events = []

    def note(self, start, length, key, velocity=96):
        self.events.append((beats(start), [0x90 | self.channel, key, velocity]))
        self.events.append((beats(start + length), [0x80 | self.channel, key, 0]))

    def chord(self, start, length, keys, velocity=90):
        for k in keys:
            self.note(start, length, k, velocity)

    def program(self, start, number):
        self.events.append((beats(start), [0xC0 | self.channel, number]))

    def bend(self, start, length, fr, to, steps=24):
        # fr and to in semitones, the instrument bending two either way.
        for i in range(steps + 1):
            semitones = fr + (to - fr) * i / steps
            value = max(0, min(16383, int(round(8192 + semitones / 2 * 8192))))
            self.events.append((beats(start + length * i / steps), [0xE0 | self.channel, value & 0x7F, value >> 7]))


lead, bass = Part(0), Part(1)

# A: beats 0-12, preset 4: a chord progression, then a rest for the release.
lead.program(0, 4)
for i, keys in enumerate([(60, 64, 67), (57, 64, 69), (57, 65, 69), (59, 62, 67), (60, 64, 67, 72)]):
    lead.chord(2 * i, 1.75, keys)
for i, key in enumerate([36, 33, 29, 31, 36]):
    bass.note(2 * i, 1.9, key, 100)

# B: beats 12-24, preset 9: a melody with bends over a slow bass.
lead.program(12, 9)
melody = [(12, 1, 76), (13, 1, 74), (14, 1, 72), (15, 1, 74), (16, 3, 76), (19, 1, 79),
          (20, 1, 77), (21, 1, 76), (22, 1.75, 74)]
for start, length, key in melody:
    lead.note(start, length * 0.95, key)
lead.bend(16.5, 1.0, 0.0, 2.0)
lead.bend(17.75, 0.5, 2.0, 0.0)
lead.bend(22.25, 1.0, 0.0, -1.0)
lead.bend(23.5, 0.25, -1.0, 0.0, steps=4)
for start, key in [(12, 36), (16, 33), (20, 31)]:
    bass.note(start, 3.8, key, 100)

# C: beats 24-32, faster, preset 16: short chords on every half beat.
lead.program(24, 16)
for i in range(16):
    keys = (62, 65, 69, 72) if (i // 4) % 2 == 0 else (59, 62, 65, 67)
    lead.chord(24 + 0.5 * i, 0.25, keys, 80 + (i % 4) * 10)
for i, key in enumerate([38, 38, 43, 43, 38, 38, 43, 43]):
    bass.note(24 + i, 0.45, key, 100)

# D: beats 32-40, preset 22: one long chord under a slow filter sweep.
lead.program(32, 22)
lead.chord(32, 6, (53, 57, 60, 64, 69))

# E: beats 40-48, preset 30: an arpeggio and a last chord left to fade.
lead.program(40, 30)
for i, key in enumerate([48, 52, 55, 60, 64, 67, 72, 76, 79, 76, 72, 67]):
    lead.note(40 + 0.375 * i, 0.3, key)
lead.chord(45, 2.5, (48, 55, 60, 64, 67, 72))
bass.note(45, 2.5, 36, 100)

end = beats(48)
conductor = [tempo(0, 96), tempo(beats(24), 112)]
data = (b"MThd" + struct.pack(">IHHH", 6, 1, 3, TICKS) + track(conductor, end) + track(lead.events, end)
        + track(bass.events, end))
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo.mid"), "wb") as f:
    f.write(data)

#!/usr/bin/env python3
"""Writes the small corpus of broken and extreme input files that
hostile_input_test.cpp feeds to sarn2, one or two files for each way a file
can be wrong. Re-run after changing it: python3 make_corpus.py"""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(out)


def chunk(kind, body):
    return kind + struct.pack(">I", len(body)) + body


def header(fmt, tracks, division):
    return chunk(b"MThd", struct.pack(">HHH", fmt, tracks, division))


NOTE = b"\x00\x90\x45\x64" + b"\x60\x80\x45\x00"
EOT = b"\x00\xff\x2f\x00"


def smf(tracks, fmt=None, division=480):
    fmt = (0 if len(tracks) == 1 else 1) if fmt is None else fmt
    return header(fmt, len(tracks), division) + b"".join(chunk(b"MTrk", t) for t in tracks)


def wav(rate, samples, channels=1):
    data = struct.pack("<%df" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 3, channels, rate, rate * 4 * channels, 4 * channels, 32)
    def riff_chunk(kind, body):
        return kind + struct.pack("<I", len(body)) + body
    return b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE" + \
        riff_chunk(b"fmt ", fmt) + riff_chunk(b"data", data)


def files():
    # MIDI files that must render.
    yield "ok-format0.mid", smf([NOTE + EOT])
    yield "ok-format1-tempo-sysex-text.mid", smf([
        b"\x00\xff\x51\x03\x07\xa1\x20" + b"\x00\xff\x03\x04name" + EOT,
        b"\x00\xf0\x03\x7e\x7f\xf7" + b"\x00\x90\x45\x64" + b"\x30\x48\x64" + b"\x00\xff\x01\x01x" +
        b"\x30\x45\x00\x00\x48\x00" + EOT])
    yield "ok-no-end-of-track.mid", smf([NOTE])
    # Two tracks set the tempo at tick 0; the later one holds (120 per minute).
    yield "ok-tempo-in-two-tracks.mid", smf([b"\x00\xff\x51\x03\x87\xa1\x20" + EOT,
                                             b"\x00\xff\x51\x03\x07\xa1\x20" + NOTE + EOT])
    yield "ok-unknown-chunk.mid", header(0, 1, 480) + chunk(b"XFIH", b"\x01\x02") + chunk(b"MTrk", NOTE + EOT)
    # MIDI files that must be refused.
    yield "tempo-length-0.mid", smf([b"\x00\xff\x51\x00" + NOTE + EOT])
    yield "tempo-length-4.mid", smf([b"\x00\xff\x51\x04\x07\xa1\x20\x00" + NOTE + EOT])
    yield "tempo-zero.mid", smf([b"\x00\xff\x51\x03\x00\x00\x00" + NOTE + EOT])
    yield "meta-past-track.mid", smf([NOTE + b"\x00\xff\x01\x7f" + b"abc"])
    yield "meta-length-huge.mid", smf([NOTE + b"\x00\xff\x01\x8f\xff\xff\xff\x7f" + EOT])
    yield "vlq-five-bytes.mid", smf([b"\x81\x81\x81\x81\x01\x90\x45\x64" + EOT])
    yield "running-status-none.mid", smf([b"\x00\x45\x64" + EOT])
    yield "status-inside-data.mid", smf([b"\x00\x90\x45\x90\x40" + EOT])
    yield "sysex-past-track.mid", smf([b"\x00\xf0\x40\x01\x02" + EOT])
    yield "event-cut.mid", smf([b"\x00\x90\x45"])
    yield "system-status.mid", smf([b"\x00\xf4\x00" + EOT])
    yield "division-zero-format1.mid", smf([b"\x00\xff\x51\x03\x07\xa1\x20" + EOT, NOTE + EOT], division=0)
    yield "division-smpte.mid", smf([NOTE + EOT], division=0xE728)
    yield "format2.mid", smf([NOTE + EOT, NOTE + EOT], fmt=2)
    yield "format0-two-tracks.mid", smf([NOTE + EOT, NOTE + EOT], fmt=0)
    yield "format-7.mid", smf([NOTE + EOT], fmt=7)
    yield "no-tracks.mid", header(1, 0, 480)
    yield "missing-track.mid", header(1, 3, 480) + chunk(b"MTrk", NOTE + EOT)
    yield "track-length-past-end.mid", header(0, 1, 480) + b"MTrk\x00\x01\x00\x00" + NOTE
    yield "header-cut.mid", b"MThd\x00\x00\x00\x06\x00"
    yield "header-length-huge.mid", b"MThd\xff\xff\xff\xff" + bytes(6)
    yield "riff.mid", b"RIFF\x10\x00\x00\x00RMIDdata"
    yield "empty.mid", b""
    # A note-off 77 hours after its note-on: refused for its length.
    ticks = 77 * 3600 * 960
    yield "note-77-hours.mid", smf([b"\x00\x90\x45\x64" + vlq(ticks // 2) + b"\xff\x01\x01x" +
                                    vlq(ticks - ticks // 2) + b"\x80\x45\x00" + EOT])
    # WAV files plot-wav must draw.
    yield "rate-1hz.wav", wav(1, [math.sin(i) * 0.5 for i in range(50)])
    yield "rate-7hz.wav", wav(7, [0.25 * (i % 3) for i in range(100)])
    yield "no-frames.wav", wav(44100, [])
    yield "one-frame.wav", wav(44100, [0.5])
    yield "inf-and-nan.wav", wav(8000, [0.1] * 500 + [float("inf")] + [0.2] * 500 +
                                 [float("nan")] + [-float("inf")] + [0.0] * 500)
    yield "stereo.wav", wav(22050, [0.3, -0.3] * 1000, channels=2)
    # WAV files plot-wav must refuse.
    yield "not-a-wav.wav", b"this is text, not sound\n"
    yield "wav-header-only.wav", wav(44100, [0.5] * 10)[:20]


def main():
    os.makedirs(HERE, exist_ok=True)
    for name in os.listdir(HERE):
        os.remove(os.path.join(HERE, name))
    for name, data in files():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()

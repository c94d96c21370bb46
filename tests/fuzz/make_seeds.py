#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (tests/fuzz/corpus/<target>/).

Each seed is a small, valid-looking input in the target's own format (see
the comment at the top of each *_fuzz.cpp), chosen to start the fuzzer at
the interesting places: exact-size and wrong-size chunks, every MIDI message
kind, ROM sets that are whole, short, missing or unreadable, every opcode,
and ROM set descriptions of every kind of bank and tuning. Run it again after changing an input format.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(preset=0, release=0.5, reserved=0.0, bend=0.0, filter_on=1, raw_release=None, raw_bend=None):
    rel = struct.pack("<I", raw_release) if raw_release is not None else struct.pack("<f", release)
    bnd = struct.pack("<I", raw_bend) if raw_bend is not None else struct.pack("<f", bend)
    return struct.pack("<i", preset) + rel + struct.pack("<f", reserved) + bnd + struct.pack("<i", filter_on)


def chunk_seeds():
    return {
        "fresh": bytes([0x03]) + chunk(),
        "preset-minus-3": bytes([0x21]) + chunk(preset=-3),
        "preset-99-filter-2": bytes([0x47]) + chunk(preset=99, filter_on=2),
        "nan-release-inf-bend": bytes([0x15]) + chunk(preset=7, raw_release=0x7FC00001, raw_bend=0x7F800000),
        "huge-release": bytes([0x02]) + chunk(preset=31, release=3.0e38, bend=-1.0),
        "negative-release-filter-off": bytes([0x0B]) + chunk(preset=16, release=-2.0, bend=0.5, filter_on=0),
        "empty": bytes([0x01]),
        "nineteen-bytes": bytes([0x03]) + chunk()[:19],
        "twenty-one-bytes": bytes([0x03]) + chunk() + b"\x00",
        "forty-bytes": bytes([0x03]) + chunk() + chunk(preset=5),
    }


def midi(status, d1, d2, type_byte=0x00):
    return bytes([type_byte, status, d1, d2])


def block(events, mode=0):
    return bytes([0, (mode << 4) | len(events)]) + b"".join(events)


def render(frames):
    return bytes([1]) + struct.pack("<H", frames)


def events_seeds():
    chord = [midi(0x90, n, 100) for n in (48, 52, 55, 60)]
    offs = [midi(0x80, n, 64) for n in (48, 52, 55, 60)]
    return {
        "chord": block(chord) + render(2048) + block(offs) + render(4096),
        "nine-notes": block([midi(0x90 | c, 40 + 3 * c, 90) for c in range(9)]) + render(1024),
        "bends-and-programs": block([midi(0xC0, 37, 0), midi(0x90, 69, 100), midi(0xE0, 0x7F, 0x7F)])
        + render(512) + block([midi(0xE0, 0, 0), midi(0xC3, 0xFF, 0)]) + render(512),
        "velocity-zero-and-200": block([midi(0x90, 60, 100), midi(0x99, 60, 0), midi(0x90, 64, 200)]) + render(256),
        "odd-counts": block([midi(0x90, 60, 100)] * 3, mode=13) + block([midi(0x90, 62, 100)] * 4, mode=15)
        + block([midi(0x90, 64, 100)] * 2, mode=14) + render(256),
        "other-types-and-null": block([midi(0x90, 60, 100, 0xE6), midi(0x90, 61, 100, 0xDF), midi(0x90, 62, 100)])
        + render(300),
        "controls": block([midi(0x90, 60, 100), midi(0xB0, 64, 127), midi(0xB0, 123, 0), midi(0xF0, 1, 2)])
        + render(128),
        "zero-and-negative-blocks": block(chord) + render(0) + bytes([1, 0x10, 0x80]) + render(64),
        "parameters-and-rates": block(chord) + bytes([2, 1]) + struct.pack("<f", 1.0) + bytes([3])
        + struct.pack("<f", 48000.0) + render(1000) + bytes([2, 2]) + struct.pack("<f", 0.0) + bytes([3])
        + struct.pack("<I", 0x7FC00000) + render(1000) + bytes([4, 1]) + block(offs) + render(2000),
    }


ROM_NAMES = ["DD1", "DD2", "DD13", "DD14", "DD16", "DD18", "DD19", "DD27", "DD28", "Midi_DD2"]


def roms(sizes, preset=0, pool=b"", modes=None):
    modes = modes or [1 if s is not None else 0 for s in sizes]
    head = b"".join(struct.pack("<BH", m, s or 0) for m, s in zip(modes, sizes))
    return head + bytes([preset]) + pool


def pool_bytes():
    # A varied byte pattern: sample-like pairs and preset-like bytes.
    return bytes((i * 37 + (i >> 3) * 11) & 0xFF for i in range(251))


def roms_seeds():
    full = [2048] * 10
    return {
        "full-size": roms(full, preset=5, pool=pool_bytes()),
        "all-missing": roms([None] * 10),
        "short-wave-file": roms([2048, 2048, 1000, 2048, 2048, 2048, 2048, 2048, 2048, 2048], preset=31,
                                pool=pool_bytes()),
        "image-9247-bytes": roms([2048, 2048, 2048, 2048, 1055, None, None, None, None, None], pool=pool_bytes()),
        "image-10239-bytes": roms([2048, 2048, 2048, 2048, 2047, None, None, None, None, None], preset=31,
                                  pool=pool_bytes()),
        "tiny-pitch-table": roms([1, 1, 2048, 2048, 2048, 2048, 2048, 2048, 2048, 2048], pool=pool_bytes()),
        "directory-and-empty": roms([2048, 0, 2048, 2048, 2048, 2048, 2048, 2048, 2048, 2048], pool=pool_bytes(),
                                    modes=[2, 1, 1, 1, 1, 1, 1, 1, 1, 1]),
        "oversized-files": roms([16383] * 10, preset=17, pool=pool_bytes()),
    }


def call(opcode, index=0, value=0, opt=0.0, kind=0):
    return bytes([kind, opcode]) + struct.pack("<iif", index, value, opt)


def dispatch_seeds():
    note = bytes([6, 0x90, 60, 100])
    render_ = bytes([7]) + struct.pack("<H", 1024)
    every = b"".join(call(op, index=1, value=1) for op in range(80) if op != 1)
    return {
        "every-opcode": note + every + render_,
        "texts": b"".join(call(op, index=i) for op in (5, 6, 7, 8) for i in (0, 1, 2, 3, -1)) + render_,
        "rates-and-processing": note + call(10, opt=48000.0) + call(12, value=1) + render_ + call(10, opt=0.0)
        + call(11, value=-5) + call(12, value=0) + render_,
        "chunks": note + call(23) + call(24, value=20) + call(24, value=19) + call(24, value=-1) + render_,
        "out-of-range": b"".join(bytes([0, sel]) + struct.pack("<iif", 0, 0, 0.0) for sel in range(80, 94))
        + bytes([0, 0xFF]) + struct.pack("<i", -2147483648) + struct.pack("<iif", 5, 5, 1.0) + render_,
        "parameters": bytes([5]) + struct.pack("<if", 0, 0.5) + bytes([5]) + struct.pack("<if", 1, 1.0e30)
        + bytes([5]) + struct.pack("<iI", 2, 0x7FC00000) + bytes([5]) + struct.pack("<if", 3, 1.0) + note + render_,
        "negative-program": call(2, value=-7) + note + render_ + call(3),
    }


def description(pitch='[pitch]\ntuning = "equal"\n', bank='shape = "saw"\nharmonics = 8\n', presets=32,
                preset='bank = 1\ncutoff = 2\n[preset.envelope]\nhold_level = 200\nhold_seconds = 1.0\n'):
    text = '[set]\nname = "Seed"\n' + pitch
    text += ''.join('[[bank]]\n' + bank for _ in range(8))
    text += ''.join('[[preset]]\nname = "P%d"\n%s' % (p, preset) for p in range(presets))
    return text.encode()


def description_seeds():
    return {
        "shapes": description(),
        "pulse-width": description(bank='shape = "pulse"\nwidth = 0.25\nnormalize = false\n'),
        # One bank of exact samples, the others shapes: a seed stays small.
        "exact-samples": description().replace(b'[[bank]]\nshape = "saw"\nharmonics = 8\n', b"", 1).replace(
            b"[[bank]]", b"[[bank]]\nsamples = [%s]\n[[bank]]" % ", ".join(
                str(i % 41 - 20) for i in range(512)).encode(), 1),
        "steps": description(pitch="[pitch]\nsteps = [0, 1, 65535, 100.4, 7e3]\n"),
        "human-units": description(preset='bank = 0\n[preset.envelope]\nramp_start = 10\nramp_end = 200\n'
                                          'ramp_seconds = 0.01\nglide_seconds = 0.02\nhold_seconds = 2.5\n'),
        "scala-missing": description(pitch='[pitch]\ntuning = "scala"\nscala = "none.scl"\n'),
        "wave": description(bank='wave = "cycle.wav"\n'),
        "thirty-one-presets": description(presets=31),
        "syntax-error": description()[:200] + b"[[[",
    }


def smf(tracks, fmt=None, division=480):
    fmt = (0 if len(tracks) == 1 else 1) if fmt is None else fmt
    head = b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division)
    return head + b"".join(b"MTrk" + struct.pack(">I", len(t)) + t for t in tracks)


def midi_seeds():
    eot = b"\x00\xff\x2f\x00"
    notes = b"\x00\x90\x3c\x64" + b"\x10\x40\x64" + b"\x30\x80\x3c\x00" + b"\x00\x90\x40\x00"
    channel = (b"\x00\xa1\x3c\x20" + b"\x00\xb2\x07\x64" + b"\x00\x01\x40" + b"\x00\xc3\x05"
               + b"\x00\xd4\x30" + b"\x00\xe5\x00\x50" + b"\x08\x7f\x7f")
    metas = (b"\x00\xff\x00\x02\x00\x01" + b"\x00\xff\x01\x04text" + b"\x00\xff\x03\x05piano"
             + b"\x00\xff\x20\x01\x00" + b"\x00\xff\x21\x01\x00" + b"\x00\xff\x54\x05\x60\x00\x00\x00\x00"
             + b"\x00\xff\x58\x04\x04\x02\x18\x08" + b"\x00\xff\x59\x02\xfd\x00" + b"\x00\xff\x7f\x03\x00\x00\x41")
    tempo = b"\x00\xff\x51\x03\x07\xa1\x20" + b"\x83\x60\xff\x51\x03\x06\x1a\x80"
    sysex = b"\x00\xf0\x05\x7e\x7f\x09\x01\xf7" + b"\x00\xf7\x02\xf3\x01"
    return {
        "format0-notes": smf([notes + eot]),
        "format0-every-channel-event": smf([channel + notes + eot], division=96),
        "format1-tempo-map": smf([tempo + metas + eot, notes + eot, sysex + channel + eot]),
        "format1-tempo-in-two-tracks": smf([b"\x00\xff\x51\x03\x87\xa1\x20" + eot, tempo + notes + eot]),
        "format1-no-end-of-track": smf([tempo, notes]),
        "format2-refused": smf([notes + eot, notes + eot], fmt=2),
        "division-smpte": smf([notes + eot], division=0xE728),
        "unknown-chunk": smf([notes + eot])[:14] + b"XFIH\x00\x00\x00\x02\x01\x02" + smf([notes + eot])[14:],
        "tempo-length-0": smf([b"\x00\xff\x51\x00" + notes + eot]),
        "long-delta-times": smf([b"\x00\x90\x3c\x64" + b"\xff\xff\xff\x7f\xff\x01\x01x"
                                 + b"\xff\xff\xff\x7f\x80\x3c\x00" + eot]),
    }


def atom_event(frames, body, type_urid=2, declared=None):
    size = len(body) if declared is None else declared
    padded = body + bytes((8 - len(body) % 8) % 8)
    return struct.pack("<qII", frames, size, type_urid) + padded


def lv2_cycle(frames, events=(), controls=None, restore=None, unit=0, other_type=False, mode_bits=0):
    mode = mode_bits | (1 if controls else 0) | (2 if restore is not None else 0) | (4 if other_type else 0)
    out = bytes([mode]) + struct.pack("<H", frames)
    if controls:
        out += struct.pack("<fff", *controls)
    if restore is not None:
        type_byte, value = restore
        out += bytes([type_byte, len(value)]) + value
    if other_type:
        out += bytes([1])
    body = struct.pack("<II", unit, 0) + b"".join(events)
    return out + struct.pack("<H", len(body)) + body


def lv2_seeds():
    note = atom_event(10, bytes([0x90, 69, 100]))
    chord = b"".join(atom_event(f, bytes([0x90, n, 100])) for f, n in ((0, 48), (1, 52), (255, 55), (256, 60)))
    nan, inf = struct.unpack("<f", struct.pack("<I", 0x7FC00000))[0], float("inf")
    return {
        "chord": lv2_cycle(256, [chord]) + lv2_cycle(256, [atom_event(3, bytes([0x80, 48, 0]))]) + lv2_cycle(512),
        "ports": lv2_cycle(128, [note], controls=(7.0, 0.1, 0.0)) + lv2_cycle(128, controls=(nan, inf, -1.0))
        + lv2_cycle(128, controls=(1e30, -1e30, 0.5)),
        "restore": lv2_cycle(64, [note]) + lv2_cycle(64, restore=(0, chunk(preset=12, release=0.2)))
        + lv2_cycle(64, restore=(0, chunk()[:19])) + lv2_cycle(64, restore=(1, chunk(preset=3))) + lv2_cycle(256),
        "damaged": lv2_cycle(128, [note, atom_event(20, bytes([0x90, 70, 100]), declared=0xFFFFFFF0)])
        + lv2_cycle(128, [atom_event(-5, bytes([0xE0, 0, 0x60])), atom_event(1 << 40, bytes([0xC0, 5]))])
        + lv2_cycle(128, [atom_event(4, bytes([0x90]) ), atom_event(5, bytes(300), type_urid=100)]),
        "other-units-and-types": lv2_cycle(128, [note], unit=100) + lv2_cycle(128, [note], other_type=True)
        + lv2_cycle(128, [note], mode_bits=8) + lv2_cycle(128, [note], mode_bits=16) + lv2_cycle(0, [note]),
    }


def main():
    targets = {"chunk": chunk_seeds(), "events": events_seeds(), "roms": roms_seeds(), "dispatch": dispatch_seeds(),
               "description": description_seeds(), "midi": midi_seeds(),
               "lv2": lv2_seeds()}
    for target, seeds in targets.items():
        directory = os.path.join(HERE, "corpus", target)
        os.makedirs(directory, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(directory, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())

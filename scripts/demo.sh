#!/usr/bin/env bash
# Builds the native preset, writes the demo ROM set inside the build tree,
# renders the demo piece through the built instrument and draws it:
#   build/native/demo-roms/   the ten demo ROM files
#   build/native/demo.wav     the piece, about 30 s, mono 32-bit float
#   build/native/demo.png     its waveform and spectrogram
# The instrument is pointed at the demo ROMs with --rom-dir; the user's own
# ROM directory is never read or written.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset native >/dev/null
cmake --build --preset native

build=build/native
sarn2="$build/bin/sarn2"
"$sarn2" make-demo-roms --force "$build/demo-roms"
"$sarn2" render tools/sarn2/demo/demo.mid -o "$build/demo.wav" --rom-dir "$build/demo-roms" --release 0.6
"$sarn2" plot-wav "$build/demo.wav" -o "$build/demo.png"

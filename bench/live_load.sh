#!/usr/bin/env bash
# DSP load of `sarn2 play` with eight held voices at a 64-frame period:
# starts a private JACK server (dummy backend, 48 kHz), plays eight notes
# from the test keyboard for SECONDS and prints the player's load line
# (JACK's own DSP load figure and the host's time per period). The server
# runs with real-time scheduling where it may; JACKD_REALTIME=--no-realtime
# shows what a busy machine does without it.
#
#   bench/live_load.sh [SECONDS] [PERIOD]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
period=${2:-64}

cmake --preset native >/dev/null
cmake --build --preset native --target sarn2_tool jack_test_keyboard >/dev/null
bin=build/native/bin
work=$(mktemp -d)
export JACK_DEFAULT_SERVER="sarn2-bench-$$" JACK_NO_START_SERVER=1

jackd ${JACKD_REALTIME:---realtime} -d dummy -r 48000 -p "$period" >"$work/jackd.log" 2>&1 &
jackd_pid=$!
cleanup() {
  kill -TERM "$jackd_pid" 2>/dev/null && wait "$jackd_pid" || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done

"$bin/sarn2" make-demo-roms "$work/roms" >/dev/null
"$bin/sarn2" play --no-connect --name sarn2_bench --rom-dir "$work/roms" >"$work/play.out" &
play_pid=$!
# Eight notes of a two-oscillator preset, held for the whole run.
notes=()
for note in 48 52 55 60 64 67 72 76; do notes+=(--event "0:90$(printf %02X "$note")64"); done
"$bin/jack_test_keyboard" --midi-to sarn2_bench:midi_in --event 0:C001 "${notes[@]}" --hold "$seconds" >/dev/null
kill -TERM "$play_pid"
wait "$play_pid"
echo "eight held voices, 48000 Hz, $period-frame periods, $seconds s:"
cat "$work/play.out"

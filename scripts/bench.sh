#!/usr/bin/env bash
# Builds the benchmarks and runs them: the sound path against the plain
# reference renderer, then eight voices side by side with another
# instrument of the interface (amsynth by default).
#
#   scripts/bench.sh [PEER_LIBRARY]
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset bench >/dev/null
cmake --build --preset bench
build/bench/bin/sarn2_bench --benchmark_min_time=0.5
echo
build/bench/bin/sarn2_peer_compare "${1:-/usr/lib/vst/amsynth_vst.so}" 10

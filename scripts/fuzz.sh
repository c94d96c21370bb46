#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, ASan, UBSan), replays
# each committed seed corpus, then fuzzes every target for a bounded time.
# Any crash, sanitizer report, leak or failed check of the output fails the
# run; the input that caused it is kept under build/fuzz/artifacts/.
#
#   scripts/fuzz.sh              # every target, FUZZ_SECONDS (30) each
#   FUZZ_SECONDS=300 scripts/fuzz.sh roms
#
# Two targets run at a time (FUZZ_PARALLEL), one per core. New inputs the
# fuzzer finds go to build/fuzz/corpus/<target>/, never into the committed
# seeds; copy one into tests/fuzz/corpus/<target>/ to keep it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
parallel=${FUZZ_PARALLEL:-2}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(chunk events roms dispatch description midi lv2)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

bin=build/fuzz/bin
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_target() {
  local name=$1
  local corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  "$bin/fuzz_$name" "$corpus" "tests/fuzz/corpus/$name" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$artifacts/$name-" -print_final_stats=1 >"build/fuzz/$name.log" 2>&1
}

failed=()
pids=()
names=()
finish_one() {
  local pid=$1 name=$2
  if wait "$pid"; then
    echo "fuzz $name: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/$name.log" \
      | grep -o '[0-9]*$') runs)"
  else
    echo "fuzz $name: FAILED; log build/fuzz/$name.log, input in $artifacts/" >&2
    tail -n 60 "build/fuzz/$name.log" >&2
    failed+=("$name")
  fi
}

for name in "${targets[@]}"; do
  [ -x "$bin/fuzz_$name" ] || { echo "fuzz: no target '$name'" >&2; exit 2; }
  run_target "$name" &
  pids+=($!)
  names+=("$name")
  if [ ${#pids[@]} -ge "$parallel" ]; then
    finish_one "${pids[0]}" "${names[0]}"
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for i in "${!pids[@]}"; do finish_one "${pids[$i]}" "${names[$i]}"; done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: ${#failed[@]} failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} passed, 0 failed"

#!/usr/bin/env bash
# Builds the native suite with clang's sanitizers and runs it:
#   asan  every native test (host, unit and Linux-only tests) under
#         AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer;
#   tsan  the concurrency and stress tests (names Concurrency.* or *Stress*)
#         under ThreadSanitizer.
# Any sanitizer report fails the test that caused it, and so the run.
#
#   scripts/test-sanitizers.sh          # both
#   scripts/test-sanitizers.sh tsan     # one
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(asan tsan)

for preset in "${presets[@]}"; do
  case "$preset" in
    asan | tsan) ;;
    *) echo "test-sanitizers: unknown preset '$preset' (asan or tsan)" >&2; exit 2 ;;
  esac
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  runner=()
  # ThreadSanitizer maps its shadow memory at fixed addresses; with a large
  # address-space randomisation (vm.mmap_rnd_bits above 28) clang 14's
  # runtime cannot. Its tests run without randomisation.
  if [ "$preset" = tsan ] && command -v setarch >/dev/null; then
    runner=(setarch "$(uname -m)" -R)
  fi
  # A filter that matches nothing is an error: the run must test something.
  "${runner[@]}" ctest --preset "$preset" --no-tests=error
done

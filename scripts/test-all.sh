#!/usr/bin/env bash
# The whole test suite: the three targets (natively, and under wine for the
# 32-bit and 64-bit Windows DLLs), then the native suite under the
# sanitizers and a bounded run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in native win32 win64; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

./scripts/test-sanitizers.sh
./scripts/fuzz.sh

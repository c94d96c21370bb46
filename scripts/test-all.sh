#!/usr/bin/env bash
# Builds the three targets and runs the whole test suite on each: natively,
# and under wine for the 32-bit and 64-bit Windows DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in native win32 win64; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

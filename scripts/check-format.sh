#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format}
git ls-files -z '*.cpp' '*.h' | xargs -0 "$format" --dry-run --Werror

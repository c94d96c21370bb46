#!/bin/sh
# Runs Debian's lv2_validate on a bundle's description files and fails
# unless it reports no errors.
#   validate-bundle.sh BUNDLE_DIR
set -eu
report=$(lv2_validate "$1"/*.ttl 2>&1) || { printf '%s\n' "$report" >&2; exit 1; }
printf '%s\n' "$report"
printf '%s\n' "$report" | grep -q '^Found 0 errors' || exit 1

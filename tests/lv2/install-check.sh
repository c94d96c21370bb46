#!/bin/sh
# Installs the build into a temporary prefix and checks that the LV2 bundle
# lands in lib/lv2/sarn2.lv2/ whole and still validates there.
#   install-check.sh CMAKE BUILD_DIR
set -eu
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$1" --install "$2" --prefix "$prefix" >/dev/null
bundle=$prefix/lib/lv2/sarn2.lv2
for f in manifest.ttl sarn2.ttl sarn2_lv2.so; do
  [ -f "$bundle/$f" ] || { echo "install-check: $bundle/$f was not installed" >&2; exit 1; }
done
sh "$(dirname "$0")/validate-bundle.sh" "$bundle"

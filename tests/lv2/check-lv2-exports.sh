#!/bin/sh
# Checks what the LV2 binary shows a host: lv2_descriptor and nothing else,
# and that it carries none of the other format's framework or adapter.
#   check-lv2-exports.sh LIBRARY
set -eu
library=$1
names=$(objdump -T "$library" | awk '$2 == "g" && $4 != "*UND*" {print $NF}' | tr '\n' ' ')
[ "$names" = "lv2_descriptor " ] || { echo "check-lv2-exports: $library exports '$names'" >&2; exit 1; }
framework=$(nm -C "$library" | grep -E 'frame::|AudioEffect|Sarn2VST|VSTPluginMain' || true)
[ -z "$framework" ] || { echo "check-lv2-exports: $library links framework code:" >&2; echo "$framework" | head >&2; exit 1; }
echo "check-lv2-exports: $library exports exactly lv2_descriptor and holds no framework code"

#!/bin/sh
# Checks what a built plug-in library shows a host: exactly the two entry
# names VSTPluginMain and MAIN, at one address, and for a DLL no import of
# the compiler's runtime DLLs (which a user's machine does not have).
#   check-exports.sh OBJDUMP LIBRARY
set -eu
objdump=$1
library=$2
fail() { echo "check-exports: $library: $*" >&2; exit 1; }

case "$library" in
*.dll)
  dump=$("$objdump" -p "$library")
  names=$(printf '%s\n' "$dump" |
    awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^$/ {on = 0} on && /\]/ {print $NF}' |
    sort | tr '\n' ' ')
  [ "$names" = "MAIN VSTPluginMain " ] || fail "exports '$names', expected MAIN and VSTPluginMain"
  addresses=$(printf '%s\n' "$dump" | awk '/Export RVA/ {print $(NF-2)}' | sort -u | wc -l)
  [ "$addresses" -eq 1 ] || fail "the two exports lie at $addresses addresses"
  imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')
  if printf '%s\n' "$imports" | grep -qiE 'libgcc|libstdc|libwinpthread'; then
    fail "imports a compiler runtime DLL: $imports"
  fi
  ;;
*)
  names=$("$objdump" -T "$library" | awk '$2 == "g" && $4 == ".text" {print $NF}' | sort | tr '\n' ' ')
  [ "$names" = "MAIN VSTPluginMain " ] || fail "exports '$names', expected MAIN and VSTPluginMain"
  addresses=$("$objdump" -T "$library" | awk '$NF == "MAIN" || $NF == "VSTPluginMain" {print $1}' | sort -u | wc -l)
  [ "$addresses" -eq 1 ] || fail "the two exports lie at $addresses addresses"
  others=$("$objdump" -T "$library" | awk '$2 == "g" && $4 != "*UND*" {print $NF}' | grep -vxE 'MAIN|VSTPluginMain' || true)
  [ -z "$others" ] || fail "exports more: $others"
  ;;
esac
echo "check-exports: $library exports exactly MAIN and VSTPluginMain at one address"

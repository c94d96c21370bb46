#!/bin/sh
# Builds the Windows ZIP with CPack and checks its files; then, in a fresh
# wine prefix whose C:\roms\ already holds a user's own Midi_DD2.BIN, runs the
# bundle's install-roms.cmd and checks that it copied the rest of the demo set
# and kept that file; finally the bundle's DLL must sound from that prefix.
# Usage: check-windows-bundle.sh BUILD_DIR ZIP_NAME WINE_LOADER WINE_ARCH SOUND_CHECK_EXE
set -eu
build=$1
name=$2
loader=$3
arch=$4
check=$5
scratch=$(mktemp -d)

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G ZIP -B "$scratch/out") >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "cpack failed"; }
zip=$scratch/out/$name.zip
[ -f "$zip" ] || { ls "$scratch/out"; fail "no $zip"; }
{
  for f in sarn2.dll README-Windows.txt install-roms.cmd; do echo "$name/$f"; done
  for r in DD1 DD2 DD13 DD14 DD16 DD18 DD19 DD27 DD28 Midi_DD2; do echo "$name/roms/$r.BIN"; done
} | sort >"$scratch/expected"
cmake -E tar tf "$zip" | grep -v '/$' | sort >"$scratch/actual"
diff -u "$scratch/expected" "$scratch/actual" || fail "bundle files differ"
mkdir "$scratch/unpacked"
(cd "$scratch/unpacked" && cmake -E tar xf "$zip")
bundle=$scratch/unpacked/$name
grep -q 'C:\\roms\\' "$bundle/README-Windows.txt" || fail "README-Windows.txt does not name C:\\roms\\"
[ "$(head -c 11 "$bundle/install-roms.cmd" | od -An -c | tr -d ' \n')" = "@echooff\r\n" ] ||
  fail "install-roms.cmd does not have CRLF line ends"

WINEPREFIX=$scratch/prefix
WINEARCH=$arch
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY
wineserver=$(dirname "$loader")/wineserver
# Wine's services would hold this test's output open: start them on
# /dev/null, and stop them whatever happens.
trap '"$wineserver" -k >/dev/null 2>&1; rm -rf "$scratch"' EXIT
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
"$loader" wineboot.exe -i </dev/null >/dev/null 2>&1 || true
roms=$WINEPREFIX/drive_c/roms
mkdir -p "$roms"
printf 'my own dump' >"$roms/Midi_DD2.BIN"

"$loader" cmd.exe /c "Z:$(echo "$bundle" | tr / '\\')\\install-roms.cmd" /nopause </dev/null >"$scratch/cmd" 2>&1 ||
  { cat "$scratch/cmd"; fail "install-roms.cmd failed"; }
tr -d '\r' <"$scratch/cmd"
[ "$(cat "$roms/Midi_DD2.BIN")" = "my own dump" ] || fail "install-roms.cmd overwrote Midi_DD2.BIN"
for r in DD1 DD2 DD13 DD14 DD16 DD18 DD19 DD27 DD28; do
  cmp -s "$bundle/roms/$r.BIN" "$roms/$r.BIN" || fail "$r.BIN was not copied to C:\\roms\\"
done
[ -z "$(find "$roms" -name '*.part')" ] || fail "install-roms.cmd left temporary files"

"$loader" "$check" "Z:$bundle/sarn2.dll" </dev/null >"$scratch/sound" 2>&1 || { cat "$scratch/sound"; fail "the bundle's DLL is silent"; }
tr -d '\r' <"$scratch/sound"
echo "Windows bundle OK"

#!/bin/sh
# Builds the .deb with CPack, checks its files and dependencies, unpacks it
# into a scratch root (dpkg -x; nothing is installed on this machine) and
# renders the demo piece through the unpacked tool and plug-in with a fresh
# HOME that has no ROM directory, so that only the packaged demo set, found
# through XDG_DATA_DIRS, can make it sound.
# Usage: check-deb.sh BUILD_DIR VERSION FILE_LIST MIDI_FILE
set -eu
build=$1
version=$2
list=$3
midi=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out") >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "cpack failed"; }
deb=$scratch/out/sarn2_${version}_amd64.deb
[ -f "$deb" ] || { ls "$scratch/out"; fail "no $deb"; }

grep -v '^#' "$list" | sed 's|^|usr/|' | sort >"$scratch/expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort >"$scratch/actual"
diff -u "$scratch/expected" "$scratch/actual" || fail "package files differ from $list"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libsndfile1 libc6 libstdc++6; do
  echo "$depends" | grep -q "$library" || fail "Depends lacks $library"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"

root=$scratch/root
dpkg -x "$deb" "$root"
mkdir "$scratch/home"
out=$scratch/home/demo.wav
env -u XDG_DATA_HOME HOME="$scratch/home" XDG_DATA_DIRS="$root/usr/share" \
  "$root/usr/bin/sarn2" render "$midi" -o "$out" --tail 0 >"$scratch/render" 2>&1 || { cat "$scratch/render"; fail "render failed"; }
cat "$scratch/render"
grep -q 'peak 0\.[0-9]*[1-9]' "$scratch/render" || fail "the render is silent"
[ ! -e "$scratch/home/.local" ] || fail "the render created a user ROM directory"

# The LV2 bundle as hosts find it in the package.
sh "$(dirname "$0")/../lv2/validate-bundle.sh" "$root/usr/lib/lv2/sarn2.lv2" >"$scratch/validate" 2>&1 ||
  { cat "$scratch/validate"; fail "the packaged LV2 bundle does not validate"; }
LV2_PATH="$root/usr/lib/lv2:/usr/lib/lv2" lv2ls | grep -qx 'urn:tavrel:sarn2' || fail "lv2ls does not list the packaged bundle"
echo "Debian package OK"

#!/bin/sh
# `cmake --install` with DESTDIR into a scratch root: the files laid out are
# exactly those listed, the demo set is the one the build wrote, and a second
# install over a ROM directory holding a user's own dump leaves it alone.
# Usage: check-install.sh BUILD_DIR FILE_LIST
set -eu
build=$1
list=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=/opt/sarn2-install-test
root=$scratch/root

fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$root cmake --install "$build" --prefix "$prefix" >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "cmake --install failed"; }
[ ! -e "$prefix" ] || fail "DESTDIR was not honoured: $prefix exists"
grep -v '^#' "$list" | sort >"$scratch/expected"
(cd "$root$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$scratch/actual"
diff -u "$scratch/expected" "$scratch/actual" || fail "installed files differ from $list"

roms=$root$prefix/share/sarn2/roms
for f in "$build"/demo-roms/*.BIN; do
  cmp -s "$f" "$roms/$(basename "$f")" || fail "$(basename "$f") is not the demo set's"
done
[ -x "$root$prefix/bin/sarn2" ] || fail "bin/sarn2 is not executable"
"$root$prefix/bin/sarn2" --version | grep -q '^sarn2 [0-9]' || fail "sarn2 --version"
grep -q '^\.TH SARN2 "1"' "$root$prefix/share/man/man1/sarn2.1" || fail "the manual page has no title line"
grep -q 'install-roms' "$root$prefix/share/man/man1/sarn2.1" || fail "the manual page does not mention install-roms"

# A user's own dump in the system directory: a second install keeps the set.
printf 'my own dump' >"$roms/DD27.BIN"
rm "$roms/DD1.BIN"
DESTDIR=$root cmake --install "$build" --prefix "$prefix" >"$scratch/log" 2>&1 || fail "second install failed"
[ "$(cat "$roms/DD27.BIN")" = "my own dump" ] || fail "the install overwrote a user's DD27.BIN"
[ ! -e "$roms/DD1.BIN" ] || fail "the install mixed demo files into a user's set"
grep -q "Keeping the ROM set" "$scratch/log" || fail "the install did not say it kept the ROM set"
echo "install layout OK"

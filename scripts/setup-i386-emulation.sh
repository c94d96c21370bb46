#!/usr/bin/env bash
# Makes 32-bit x86 programs (wine's 32-bit loader, the win32 tests) runnable.
# Some kernels here are built without 32-bit emulation; there i386 ELF files
# are handed to qemu user-mode emulation through binfmt_misc. Debian 12's own
# qemu-user is too old for wine, so the static qemu-i386 of the backports
# suite is fetched without changing the machine's apt configuration.
set -euo pipefail

wine32_loader=/usr/lib/wine/wine
runs_natively() { "$wine32_loader" --version >/dev/null 2>&1; }

if [ ! -x "$wine32_loader" ]; then
  echo "setup-i386-emulation: $wine32_loader missing; install wine32 first" >&2
  exit 1
fi

# A probe that runs no Windows code: a wineprefix is not needed for --version.
if runs_natively; then
  exit 0
fi

qemu=/usr/local/lib/sarn2/qemu-i386-static
if [ ! -x "$qemu" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
  if [ -z "$uri" ]; then
    uri=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
  fi
  [ -n "$uri" ] || { echo "setup-i386-emulation: no Debian archive URI found" >&2; exit 1; }
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
  echo "deb $uri bookworm-backports main" >"$work/sources.list"
  apt_opts=(-o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts=-
            -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache"
            -o APT::Get::List-Cleanup=0)
  apt-get "${apt_opts[@]}" update -q >/dev/null
  (cd "$work" && apt-get "${apt_opts[@]}" download qemu-user/bookworm-backports >/dev/null 2>&1 \
     || apt-get "${apt_opts[@]}" download qemu-user-static/bookworm-backports >/dev/null)
  deb=$(ls "$work"/qemu-user*.deb | head -n 1)
  mkdir -p "$work/x"
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work/x" --wildcards '*/bin/qemu-i386*'
  found=$(find "$work/x" -type f \( -name qemu-i386 -o -name qemu-i386-static \) | head -n 1)
  [ -n "$found" ] || { echo "setup-i386-emulation: qemu-i386 not found in $deb" >&2; exit 1; }
  mkdir -p "$(dirname "$qemu")"
  install -m 0755 "$found" "$qemu"
fi

if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
fi
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  echo -1 >/proc/sys/fs/binfmt_misc/qemu-i386
fi
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":qemu-i386:M::${magic}:${mask}:${qemu}:F" >/proc/sys/fs/binfmt_misc/register

if ! runs_natively; then
  echo "setup-i386-emulation: 32-bit code still does not run" >&2
  exit 1
fi

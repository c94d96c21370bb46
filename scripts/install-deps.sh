#!/usr/bin/env bash
# Installs everything the project needs on a Debian 12 machine (run as root):
# compilers and cross compilers, wine, the libraries the tools use, and a
# qemu user-mode emulator for 32-bit x86 code where the kernel cannot run it.
set -euo pipefail

if [ "$(id -u)" != 0 ]; then
  exec sudo "$0" "$@"
fi

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev libfuzzer-14-dev
  libsndfile1-dev libportsmf-dev libcli11-dev libpng-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64
  amsynth valgrind clang-format
  libcairo2-dev libtoml11-dev libsamplerate0-dev help2man dpkg-dev file
  jackd2 libjack-jackd2-dev
  lv2-dev sordi liblilv-dev lilv-utils jalv
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

"$(dirname "$0")/setup-i386-emulation.sh"

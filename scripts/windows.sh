#!/bin/sh
# The Windows target: cross-builds Brindle.dll and the test programs with the
# mingw-w64 i686 compilers and runs the suite under Wine. Installs what is
# missing first when run as root (the i386 architecture included); when the
# packages cannot be installed, or this machine cannot run 32-bit programs,
# says so and exits 0 without testing. Exits non-zero on any build or test
# failure.
#
# The Wine prefix is kept in ${XDG_CACHE_HOME:-$HOME/.cache}/brindle and
# reused by later runs: making one takes minutes where 32-bit programs run
# under an emulator.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
build=$root/build/test-win32
packages="wine wine32:i386 g++-mingw-w64-i686 mingw-w64-tools"

# wine32 needs the i386 architecture; scripts/deps.sh installs the rest.
if [ "$(id -u)" -eq 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# shellcheck disable=SC2086
if ! sh "$root/scripts/deps.sh" $packages; then
  echo "skipping the Windows build: $packages could not be installed" >&2
  exit 0
fi

echo "=== win32 build (mingw-w64 i686)"
mkdir -p "$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DBRINDLE_BUILD_BENCH=OFF -DBRINDLE_BUILD_EXAMPLES=OFF -DBRINDLE_CONSUMER_TEST=OFF \
  >"$root/build/configure-win32.log"
cmake --build "$build" -j "$jobs" >"$root/build/build-win32.log" 2>&1 || {
  tail -n 60 "$root/build/build-win32.log"
  exit 1
}

# Wine's 32-bit loader is an i386 program. Where the kernel runs no 32-bit
# code (IA-32 emulation switched off), it runs under qemu's user-mode
# emulator, registered with binfmt_misc; everything under Wine is then
# emulated, and each process start costs about a minute.
runs_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
binfmt=/proc/sys/fs/binfmt_misc
if ! runs_i386; then
  if [ ! -e "$binfmt/qemu-i386" ] && sh "$root/scripts/deps.sh" qemu-user-static; then
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
    # The i386 ELF header, matched as qemu's own registration does; F opens
    # the emulator now, so that it serves in every mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      >"$binfmt/register" 2>/dev/null || true
  elif [ -e "$binfmt/qemu-i386" ]; then
    echo 1 >"$binfmt/qemu-i386" 2>/dev/null || true  # registered but switched off
  fi
fi
if ! runs_i386; then
  echo "skipping the Windows tests: this machine runs no 32-bit programs, natively or through qemu-i386" >&2
  exit 0
fi
# A registered handler takes i386 programs even from a kernel that could run
# them. Tests that only an emulator cannot carry (threads racing at full
# speed) read this and skip, saying why.
if grep -qx enabled "$binfmt/qemu-i386" 2>/dev/null; then
  echo "32-bit programs run under qemu-i386 here"
  export BRINDLE_EMULATED_CPU=1
fi

echo "=== win32 tests (Wine)"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/brindle
mkdir -p "$cache"
export WINEPREFIX="$cache/wine-i686" WINEARCH=win32 WINEDEBUG=-all
# No desktop integration, no .NET or HTML engine downloads.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wineserver -k </dev/null >/dev/null 2>&1 || true
# The prefix's settings for these runs, applied once to a new prefix (and
# again when they change); Wine writes the registry out when it stops.
settings=$root/scripts/wine-prefix.reg
if ! cmp -s "$settings" "$WINEPREFIX/brindle-settings.reg" 2>/dev/null; then
  echo "preparing the Wine prefix $WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  wine regedit /S "$settings" </dev/null >/dev/null 2>&1
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
  cp "$settings" "$WINEPREFIX/brindle-settings.reg"
fi
# A server that outlives each program, and Wine's background services
# started before the tests, so that no test inherits them (ctest would wait
# on their output).
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1
status=0
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 1800) || status=$?
wineserver -k </dev/null >/dev/null 2>&1 || true
exit $status

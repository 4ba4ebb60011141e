#!/bin/sh
# The Windows target: cross-builds Brindle.dll and the test programs with the
# mingw-w64 i686 compilers and runs the suite under Wine. Installs what is
# missing first when run as root (the i386 architecture included); when the
# packages cannot be installed, says so and exits 0 without testing.
# Exits non-zero on any build or test failure.
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
  -DBRINDLE_BUILD_BENCH=OFF -DBRINDLE_CONSUMER_TEST=OFF >"$root/build/configure-win32.log"
cmake --build "$build" -j "$jobs" >"$root/build/build-win32.log" 2>&1 || {
  tail -n 60 "$root/build/build-win32.log"
  exit 1
}

echo "=== win32 tests (Wine)"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/brindle
mkdir -p "$cache"
export WINEPREFIX="$cache/wine-i686" WINEARCH=win32 WINEDEBUG=-all
# No desktop integration, no .NET or HTML engine downloads.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# A server that outlives each program, started (and the prefix made) before
# the tests, so that no test inherits Wine's background services.
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1
status=0
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 1800) || status=$?
wineserver -k </dev/null >/dev/null 2>&1 || true
exit $status

#!/bin/sh
# One Windows target: cross-builds Brindle.dll and the test programs with
# the mingw-w64 compilers and runs the suite under Wine.
#
#   scripts/windows.sh x86_64   64-bit, under wine64: runs on any x86-64 machine
#   scripts/windows.sh i686     32-bit, under Wine's i386 loader
#
# Installs what is missing first when run as root (for i686 the i386
# architecture too). The i686 suite runs where the kernel runs 32-bit
# programs; where it does not, only with BRINDLE_WINDOWS_EMULATED=1, which
# registers qemu's i386 emulator with the kernel (binfmt_misc) and runs
# everything under it. Exits 0 when the suite passed, 77 when it was skipped
# (the reason in one line on stderr, and in $BRINDLE_SKIP_NOTE when that
# names a file), anything else when it failed.
#
# The Wine prefixes are kept in ${XDG_CACHE_HOME:-$HOME/.cache}/brindle and
# reused by later runs: making one takes minutes under an emulator.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
target=${1:-x86_64}

skip() {
  echo "skipping the $target Windows suite: $1" >&2
  [ -z "${BRINDLE_SKIP_NOTE:-}" ] || echo "$1" >"$BRINDLE_SKIP_NOTE"
  exit 77
}

case $target in
  x86_64)
    build=$root/build/test-win64
    packages="wine wine64 g++-mingw-w64-x86-64-posix mingw-w64-tools"
    loader=/usr/lib/wine/wine64
    server=/usr/lib/wine/wineserver64
    export WINEARCH=win64
    ;;
  i686)
    build=$root/build/test-win32
    packages="wine wine32:i386 g++-mingw-w64-i686-posix mingw-w64-tools"
    loader=/usr/lib/wine/wine
    # The 32-bit server with the 32-bit loader: a native 64-bit server cannot
    # drive the threads of programs that run under an emulator.
    server=/usr/lib/wine/wineserver32
    export WINEARCH=win32
    # wine32 needs the i386 architecture; scripts/deps.sh installs the rest.
    if [ "$(id -u)" -eq 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
      dpkg --add-architecture i386
    fi
    ;;
  *)
    echo "usage: $0 x86_64|i686" >&2
    exit 2
    ;;
esac

# shellcheck disable=SC2086
sh "$root/scripts/deps.sh" $packages || skip "$packages could not be installed"

# Wine's 32-bit loader is an i386 program. Where the kernel runs no 32-bit
# code (IA-32 emulation switched off) it can run under qemu's user-mode
# emulator, registered with binfmt_misc: only when asked, as that changes
# how the whole machine runs i386 programs. Everything under Wine is then
# emulated, and each process start costs up to a minute.
binfmt=/proc/sys/fs/binfmt_misc
runs_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
if [ "$target" = i686 ] && ! runs_i386; then
  [ "${BRINDLE_WINDOWS_EMULATED:-0}" = 1 ] ||
    skip "this kernel runs no 32-bit programs (BRINDLE_WINDOWS_EMULATED=1 runs them under qemu)"
  if [ ! -e "$binfmt/qemu-i386" ] && sh "$root/scripts/deps.sh" qemu-user-static; then
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
    # The i386 ELF header, matched as qemu's own registration does; F opens
    # the emulator now, so that it serves in every mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      >"$binfmt/register" 2>/dev/null || true
  elif [ -e "$binfmt/qemu-i386" ]; then
    echo 1 >"$binfmt/qemu-i386" 2>/dev/null || true  # registered but switched off
  fi
  runs_i386 || skip "qemu-i386 could not be registered to run 32-bit programs"
fi
# A registered handler takes i386 programs even from a kernel that could run
# them. Tests that only an emulator cannot carry (threads racing at full
# speed) read this and skip, saying why.
if [ "$target" = i686 ] && grep -qx enabled "$binfmt/qemu-i386" 2>/dev/null; then
  echo "32-bit programs run under qemu-i386 here"
  export BRINDLE_EMULATED_CPU=1
fi

echo "=== win-$target build (mingw-w64)"
mkdir -p "$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$target.cmake" \
  -DBRINDLE_BUILD_BENCH=OFF -DBRINDLE_BUILD_EXAMPLES=OFF -DBRINDLE_CONSUMER_TEST=OFF \
  >"$root/build/configure-win-$target.log"
cmake --build "$build" -j "$jobs" >"$root/build/build-win-$target.log" 2>&1 || {
  tail -n 60 "$root/build/build-win-$target.log"
  exit 1
}

echo "=== win-$target tests (Wine)"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/brindle
mkdir -p "$cache"
export WINEPREFIX="$cache/wine-$target" WINEDEBUG=-all WINELOADER=$loader
# No desktop integration, no .NET or HTML engine downloads.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
[ -x "$server" ] || server=wineserver
# Bounded: Wine's start takes minutes under an emulator, and a service that
# does not start is waited for (ServicesPipeTimeout in the prefix's settings).
run_wine() { timeout 1500 "$loader" "$@" </dev/null >/dev/null 2>&1 || true; }
run_server() { "$server" "$@" </dev/null >/dev/null 2>&1; }
run_server -k || true
# The prefix's settings for these runs, applied once to a new prefix (and
# again when they change); Wine writes the registry out when it stops.
settings=$root/scripts/wine-prefix.reg
if ! cmp -s "$settings" "$WINEPREFIX/brindle-settings.reg" 2>/dev/null; then
  echo "preparing the Wine prefix $WINEPREFIX"
  run_wine wineboot.exe -i
  run_wine regedit.exe /S "$settings"
  run_server -k || true
  run_server -w || true
  cp "$settings" "$WINEPREFIX/brindle-settings.reg"
fi
# A server that outlives each program, and Wine's background services
# started before the tests, so that no test inherits them (ctest would wait
# on their output).
run_server -p
# cmake/wine-run.sh watches this server: a program whose server dies would
# wait on it for ever.
export BRINDLE_WINESERVER=$server BRINDLE_WINESERVER_PIDFILE=$build/wineserver.pid
pgrep -n -f "$server -p" >"$BRINDLE_WINESERVER_PIDFILE" || rm -f "$BRINDLE_WINESERVER_PIDFILE"
run_wine wineboot.exe -i
status=0
# Each program is bounded by wine-run.sh (BRINDLE_WINE_TIMEOUT, 1200 s), and
# run twice at most; ctest's bound is the backstop.
(cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 2600) || status=$?
run_server -k || true
exit $status

#!/bin/sh
# The whole test suite, suite by suite: a normal build and an AddressSanitizer
# + UndefinedBehaviorSanitizer build, each run with ctest, the normal build's
# ABI against the kept baseline (scripts/abi.sh), the Doxygen reference
# (warnings as errors), a ThreadSanitizer build of the threaded tests,
# bounded runs of the fuzz targets, then
# Brindle.dll for 64-bit and for 32-bit Windows, cross-built and tested under
# Wine (scripts/windows.sh). Installs what is missing first, and starts
# rpcbind, when run as root. A failing suite does not stop the others; the
# summary at the end names each suite as passed, skipped (and why) or failed,
# and the exit status is non-zero when any failed.
#
# BRINDLE_FUZZ_SECONDS sets each fuzz target's run (default 30; 0 skips);
# BRINDLE_WINDOWS=0 skips both Windows suites; BRINDLE_WINDOWS_EMULATED=1
# runs the 32-bit one under qemu where the kernel runs no 32-bit programs
# (registering qemu with the kernel: see scripts/windows.sh).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
fuzz_seconds=${BRINDLE_FUZZ_SECONDS:-30}
summary=""
failures=0
skips=0
note=$(mktemp)
trap 'rm -f "$note"' EXIT

# suite <name> <command...>: runs the command in a subshell, so that its
# exit or failure ends only that suite, and records the outcome and time.
# Exit status 77 is a skip, its reason in "$note".
suite() {
  name=$1
  shift
  : >"$note"
  start=$(date +%s)
  status=0
  ("$@") || status=$?
  seconds=$(($(date +%s) - start))
  case $status in
    0) outcome="passed" ;;
    77) outcome="skipped: $(cat "$note")"; skips=$((skips + 1)) ;;
    *) outcome="FAILED (status $status)"; failures=$((failures + 1)) ;;
  esac
  echo "=== $name: $outcome (${seconds} s)"
  summary="$summary  $name: $outcome (${seconds} s)
"
}

skipped() {  # reason: ends the suite's subshell
  echo "$1" >"$note"
  exit 77
}

sh "$root/scripts/deps.sh" cmake make g++ libc6-dev pkgconf libgtest-dev libbenchmark-dev \
  clang libclang-rt-14-dev libtirpc-dev rpcsvc-proto rpcbind abigail-tools libfmt-dev doxygen

run_suite() {  # name, then extra cmake arguments
  name=$1
  shift
  build=$root/build/test-$name
  echo "=== $name build"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$root/build/configure-$name.log" || {
    tail -n 60 "$root/build/configure-$name.log"
    exit 1
  }
  cmake --build "$build" -j "$jobs" >"$root/build/build-$name.log" 2>&1 || {
    tail -n 60 "$root/build/build-$name.log"
    exit 1
  }
  echo "=== $name tests"
  cd "$build" && ctest --output-on-failure -j "$jobs" --timeout 600
}

mkdir -p "$root/build"

# The RPC integration tests need rpcbind; without it they skip.
sh "$root/scripts/rpcbind.sh" || echo "the RPC tests that need rpcbind will skip" >&2

suite normal run_suite normal -DCMAKE_COMPILE_WARNING_AS_ERROR=ON

# The normal build's library against the ABI kept in abi/ (scripts/abi.sh).
abi_suite() {
  [ -e "$root/build/test-normal/libbrindle.so" ] || skipped "the normal build made no library"
  sh "$root/scripts/abi.sh" "$root/build/test-normal"
}
suite "ABI against abi/libbrindle.abi" abi_suite

# The reference: Doxygen over the public headers and docs/, any warning an
# error (cmake/BrindleDocs.cmake).
docs_suite() {
  build=$root/build/test-docs
  cmake -S "$root" -B "$build" -DBRINDLE_BUILD_TESTS=OFF -DBRINDLE_BUILD_BENCH=OFF -DBRINDLE_BUILD_EXAMPLES=OFF \
    >"$root/build/configure-docs.log" || exit 1
  cmake --build "$build" --target docs >"$root/build/build-docs.log" 2>&1 || {
    grep -E 'warning:|error:' "$root/build/build-docs.log" || tail -n 60 "$root/build/build-docs.log"
    exit 1
  }
}
suite "reference (Doxygen)" docs_suite

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
suite "address and undefined-behaviour sanitizers" run_suite sanitize-clang -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DBRINDLE_SANITIZE=address,undefined -DBRINDLE_CONSUMER_TEST=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
unset ASAN_OPTIONS UBSAN_OPTIONS

# ThreadSanitizer, for the tests whose code runs threads: the RPC endpoints
# and runtime, and the framework's worker threads. Only their programs are
# built.
thread_suite() {
  echo "=== thread build"
  build=$root/build/test-thread
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLE_SANITIZE=thread \
    -DBRINDLE_BUILD_BENCH=OFF -DBRINDLE_BUILD_EXAMPLES=OFF -DBRINDLE_CONSUMER_TEST=OFF \
    >"$root/build/configure-thread.log" || exit 1
  cmake --build "$build" -j "$jobs" --target rpc_endpoint_test rpc_runtime_test frame_test \
    >"$root/build/build-thread.log" 2>&1 || {
    tail -n 60 "$root/build/build-thread.log"
    exit 1
  }
  echo "=== thread tests"
  (cd "$build" &&
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/rpc/tsan.supp \
    ctest --output-on-failure -j "$jobs" --timeout 600 -R '^(Rpc|Endpoints\.|Exceptions\.)')
}
suite "thread sanitizer" thread_suite

fuzz_suite() {
  [ "$fuzz_seconds" -gt 0 ] || skipped "BRINDLE_FUZZ_SECONDS=0"
  echo "=== fuzz build (clang, libFuzzer)"
  build=$root/build/test-fuzz
  CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBRINDLE_BUILD_FUZZ=ON -DBRINDLE_BUILD_TESTS=OFF -DBRINDLE_BUILD_BENCH=OFF \
    -DBRINDLE_BUILD_EXAMPLES=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >"$root/build/configure-fuzz.log" || exit 1
  cmake --build "$build" -j "$jobs" >"$root/build/build-fuzz.log" 2>&1 || {
    tail -n 60 "$root/build/build-fuzz.log"
    exit 1
  }
  for target in "$build"/fuzz/*_fuzz; do
    echo "=== fuzz $(basename "$target") for ${fuzz_seconds}s"
    name=$(basename "$target")
    corpus=$build/corpus/$name
    mkdir -p "$corpus"
    # New inputs go to the build's corpus; fuzz/corpus/<target>/ holds the
    # seeds kept in the repository.
    seeds=""
    [ -d "$root/fuzz/corpus/$name" ] && seeds=$root/fuzz/corpus/$name
    # shellcheck disable=SC2086
    "$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 "$corpus" $seeds \
      >"$build/$name.log" 2>&1 || {
      tail -n 60 "$build/$name.log"
      exit 1
    }
    grep -E 'stat::number_of_executed_units' "$build/$name.log" || true
  done
}
suite "fuzz targets" fuzz_suite

# Brindle.dll for each Windows target, cross-built and tested under Wine:
# the 64-bit suite runs on any x86-64 machine; the 32-bit one where the
# kernel runs 32-bit programs, or under qemu when asked (scripts/windows.sh
# says why it skips).
windows_suite() {  # target
  [ "${BRINDLE_WINDOWS:-1}" != 0 ] || skipped "BRINDLE_WINDOWS=0"
  BRINDLE_SKIP_NOTE=$note sh "$root/scripts/windows.sh" "$1"
}
suite "Windows x86_64 (wine64)" windows_suite x86_64
suite "Windows i686 (Wine)" windows_suite i686

# The size of the tests against the library, in non-blank lines that are not
# whole-line // comments: the project keeps it at or below a third, so new
# tests replace what they subsume (DEVELOPERS.md). Printed, never enforced.
count_lines() {
  for d in "$@"; do
    find "$root/$d" -type f \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \
      -o -name '*.x' -o -name '*.in' \) -exec cat {} +
  done | grep -v '^[[:space:]]*$' | grep -cv '^[[:space:]]*//'
}
tests=$(count_lines tests fuzz)
library=$(count_lines include frame text calendar bits geometry fs rpc platform)
awk -v t="$tests" -v l="$library" \
  'BEGIN { printf "test size: %d lines of tests and fuzz targets, %d of library: %.2f (the rule: at most 0.33)\n", t, l, t / l }'

echo "=== summary"
printf '%s' "$summary"
if [ "$failures" -gt 0 ]; then
  echo "$failures suite(s) failed"
  exit 1
elif [ "$skips" -gt 0 ]; then
  echo "no suite failed; $skips skipped"
else
  echo "all suites passed"
fi

#!/bin/sh
# Builds the library and runs examples/tour, a short printed tour of each
# family. Installs what is missing first when run as root.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/deps.sh" cmake make g++ libc6-dev
build=$root/build/tour
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRINDLE_BUILD_TESTS=OFF -DBRINDLE_BUILD_BENCH=OFF -DBRINDLE_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$build" --target tour -j "$(nproc)" >/dev/null
"$build/examples/tour"

#!/bin/sh
# Builds the library and runs examples/tour, a short printed tour of each
# family, then a round trip of the RPC example (examples/rpc). Installs what
# is missing first, and starts rpcbind, when run as root.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/deps.sh" cmake make g++ libc6-dev libtirpc-dev rpcsvc-proto rpcbind
build=$root/build/tour
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRINDLE_BUILD_TESTS=OFF -DBRINDLE_BUILD_BENCH=OFF -DBRINDLE_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$build" --target tour -j "$(nproc)" >/dev/null
"$build/examples/tour"

# Then the RPC example: a server process and a client process, talking
# through rpcbind (started here when this runs as root).
echo
echo "== RPC: examples/rpc, two processes over TCP, UDP and AF_UNIX"
cmake --build "$build" --target hello_server hello_client -j "$(nproc)" >/dev/null
if sh "$root/scripts/rpcbind.sh"; then
  sh "$root/examples/rpc/round_trip.sh" "$build/examples/rpc"
else
  echo "(the RPC round trip needs rpcbind running; skipped)"
fi

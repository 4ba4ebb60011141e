#!/bin/sh
# A round trip of the RPC example: one hello_server per protocol sequence,
# each found by a hello_client through rpcbind, then stopped with SIGTERM.
# Needs rpcbind running (scripts/rpcbind.sh starts it).
#
#   round_trip.sh <directory of hello_server and hello_client>
set -u
bin=$1
logs=$(mktemp -d)
pids=""
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null; done
  wait
  rm -rf "$logs"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

protseqs="ncacn_ip_tcp ncadg_ip_udp ncalrpc"
for protseq in $protseqs; do
  "$bin/hello_server" "$protseq" 60 >"$logs/$protseq" 2>&1 &
  pids="$pids $!"
done
status=0
for protseq in $protseqs; do
  tries=0
  while ! grep -q '^serving' "$logs/$protseq"; do
    tries=$((tries + 1))
    if [ "$tries" -ge 100 ]; then
      echo "hello_server $protseq did not start:"
      cat "$logs/$protseq"
      status=1
      continue 2
    fi
    sleep 0.1
  done
  echo "\$ hello_client $protseq localhost tour"
  "$bin/hello_client" "$protseq" localhost tour || status=1
done
for pid in $pids; do kill -TERM "$pid" 2>/dev/null; done
wait
pids=""
echo "\$ hello_server ncacn_ip_tcp   # what it printed, stopped by SIGTERM"
cat "$logs/ncacn_ip_tcp"
exit $status

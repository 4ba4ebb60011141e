#!/bin/sh
# A round trip of the RPC example: one hello_server per protocol sequence,
# each found by a hello_client through rpcbind, then stopped with SIGTERM.
# Needs rpcbind running (scripts/rpcbind.sh starts it).
#
# The TCP and UDP servers meet an endpoint mapper that comes up late: they
# are pointed at a socket path that appears, as a link to rpcbind's socket,
# a second and a half after they begin. The TCP server starts at once and
# retries; the UDP server first waits for the mapper.
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
rpcbind_socket=/run/rpcbind.sock
late=""
[ -S $rpcbind_socket ] && late=$logs/mapper
BRINDLE_RPC_ENDPOINT_MAPPER=$late "$bin/hello_server" ncacn_ip_tcp 60 >"$logs/ncacn_ip_tcp" 2>&1 &
pids="$pids $!"
BRINDLE_RPC_ENDPOINT_MAPPER=$late "$bin/hello_server" ncadg_ip_udp 60 10000 >"$logs/ncadg_ip_udp" 2>&1 &
pids="$pids $!"
"$bin/hello_server" ncalrpc 60 >"$logs/ncalrpc" 2>&1 &
pids="$pids $!"
if [ -n "$late" ]; then
  sleep 1.5
  ln -s $rpcbind_socket "$late"
fi
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
for protseq in ncacn_ip_tcp ncadg_ip_udp; do
  echo "\$ hello_server $protseq   # what it printed, stopped by SIGTERM${late:+; its mapper came up after 1.5 s}"
  cat "$logs/$protseq"
done
exit $status

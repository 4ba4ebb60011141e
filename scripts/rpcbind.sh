#!/bin/sh
# Makes sure rpcbind, the endpoint mapper of the RPC runtime, answers on this
# machine: starts it when it does not and this runs as root. Exits 0 when it
# answers; otherwise says what is missing and exits 1.
set -u
PATH=$PATH:/usr/sbin:/sbin
answers() { rpcinfo -p >/dev/null 2>&1; }
if ! command -v rpcbind >/dev/null 2>&1 || ! command -v rpcinfo >/dev/null 2>&1; then
  echo "rpcbind is not installed (Debian package rpcbind)" >&2
  exit 1
fi
answers && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "rpcbind is not running: start it as root (rpcbind, or systemctl start rpcbind)" >&2
  exit 1
fi
# -w keeps the registrations of an rpcbind that ran before, when it saved any.
rpcbind -w 2>/dev/null || rpcbind || {
  echo "rpcbind would not start" >&2
  exit 1
}
tries=0
until answers; do
  tries=$((tries + 1))
  if [ "$tries" -ge 50 ]; then
    echo "rpcbind started but does not answer" >&2
    exit 1
  fi
  sleep 0.1
done
echo "started rpcbind"

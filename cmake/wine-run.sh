#!/bin/sh
# Runs a Windows program under Wine for ctest: wine-run.sh <loader> <program>
# [arguments]. The output goes through a file: when a program happens to
# start Wine's background services, they inherit its output, and would hold
# ctest's pipe open long after it ended.
#
# The run is bounded: BRINDLE_WINE_TIMEOUT seconds (default 1200), then the
# program and what it started are killed and its output so far is shown.
# Where scripts/windows.sh names the Wine server it started
# (BRINDLE_WINESERVER, and its process in the file BRINDLE_WINESERVER_PIDFILE),
# the server is watched too: a Wine program whose server dies waits on it for
# ever. Then the server is started again and the program run once more, as
# the fault is Wine's; a second loss fails the test.
loader=$1
shift
limit=${BRINDLE_WINE_TIMEOUT:-1200}
out=$(mktemp) || exit 1
trap 'rm -f "$out"' EXIT

server_pid() { cat "${BRINDLE_WINESERVER_PIDFILE:-/dev/null}" 2>/dev/null; }
server_alive() {
  pid=$(server_pid)
  [ -z "$pid" ] || kill -0 "$pid" 2>/dev/null
}

# run_once: the program's status, or 124 when it ran out of time, 125 when
# the server died under it.
run_once() {
  : >"$out"
  # In a session of its own, so that everything it started can be killed.
  WINELOADER=$loader setsid "$loader" "$@" >"$out" 2>&1 </dev/null &
  child=$!
  waited=0
  while kill -0 "$child" 2>/dev/null; do
    if [ "$waited" -ge $((limit * 5)) ]; then
      kill -9 "-$child" "$child" 2>/dev/null
      wait "$child" 2>/dev/null
      return 124
    fi
    if ! server_alive; then
      kill -9 "-$child" "$child" 2>/dev/null
      wait "$child" 2>/dev/null
      return 125
    fi
    sleep 0.2
    waited=$((waited + 1))
  done
  wait "$child"
}

restart_server() {
  [ -n "${BRINDLE_WINESERVER:-}" ] || return 1
  "$BRINDLE_WINESERVER" -p </dev/null >/dev/null 2>&1
  pgrep -n -f "$BRINDLE_WINESERVER -p" >"$BRINDLE_WINESERVER_PIDFILE"
}

for attempt in 1 2; do
  run_once "$@"
  status=$?
  cat "$out"
  case $status in
    124)
      echo "wine-run.sh: $1 did not end within $limit s; killed"
      exit 124
      ;;
    125)
      echo "wine-run.sh: the Wine server ended while $1 ran (attempt $attempt)"
      [ "$attempt" = 1 ] && restart_server && continue
      exit 125
      ;;
  esac
  # Every test program prints: a run that printed nothing did not run.
  if [ "$status" = 0 ] && [ ! -s "$out" ]; then
    echo "wine-run.sh: $1 ended with status 0 but printed nothing"
    exit 1
  fi
  exit "$status"
done

#!/usr/bin/env bash
# Builds the client and the server simulator, starts the simulator with a fresh sample table
# on 127.0.0.1:6767, then the client against it. Ending the client (tray menu
# "TorvanelClient Beenden") ends the simulator and the virtual display too, and so does
# interrupting this script.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh --run
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target TorvanelClient torvanel-sim

data=$(mktemp -d -t torvanel-demo.XXXXXX)
pids=()

# The window manager may have started programs of its own; they go before it does.
kill_tree() {
  local kid
  for kid in $(pgrep -P "$1" || true); do kill_tree "$kid"; done
  kill "$1" 2>/dev/null || true
}

# Last started, first stopped: the X server goes after everything that draws on it. Each is
# waited for, so none is left running or as a zombie when the script returns.
cleanup() {
  trap '' INT TERM
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill_tree "${pids[i]}"
    wait "${pids[i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Without a desktop (a fresh server install), give the client a virtual one with a tray.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export DISPLAY=:77
  Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 & pids+=($!)
  sleep 1
  fluxbox >/dev/null 2>&1 & pids+=($!)
  echo "No display found: running on the virtual display $DISPLAY"
  echo "(screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
fi

build/default/sim/torvanel-sim --table "$data/table.txt" < /dev/null & sim=$!
pids+=("$sim")
sleep 0.5
if ! kill -0 "$sim" 2>/dev/null; then
  echo "The simulator did not start (is port 6767 taken?)" >&2
  exit 1
fi
echo "Simulator: 127.0.0.1:6767, table in $data/table.txt"
# In the background, so that a signal to this script is handled at once and not only after
# the client has ended.
build/default/src/TorvanelClient & pids+=($!)
status=0
wait "${pids[-1]}" || status=$?
exit "$status"

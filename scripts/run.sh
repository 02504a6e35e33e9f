#!/usr/bin/env bash
# Builds the client and the server simulator, starts the simulator with a fresh sample table
# on 127.0.0.1:6767, then the client against it. Ending the client (tray menu
# "TorvanelClient Beenden") ends the simulator too.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh --run
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target TorvanelClient torvanel-sim

data=$(mktemp -d -t torvanel-demo.XXXXXX)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

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
build/default/src/TorvanelClient

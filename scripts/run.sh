#!/usr/bin/env bash
# Builds the client and the server simulator, starts the simulator with a fresh sample table
# on 127.0.0.1:6767, then the client against it. Ending the client (tray menu
# "TorvanelClient Beenden") ends the simulator and the virtual display too, and so does
# interrupting this script.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

bash scripts/deps.sh --run
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target TorvanelClient torvanel-sim

data=$(mktemp -d -t torvanel-demo.XXXXXX)
pids=()

# The window manager may have started programs of its own; they go before it does.
# shellcheck disable=SC2317 # called by cleanup, from the trap
kill_tree() {
  local kid
  for kid in $(pgrep -P "$1" || true); do kill_tree "$kid"; done
  kill "$1" 2>/dev/null || true
}

# Last started, first stopped: the X server goes after everything that draws on it. Each is
# waited for, so none is left running or as a zombie when the script returns.
# shellcheck disable=SC2317 # called from the trap
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

display_up() { xdpyinfo >/dev/null 2>&1; }
# The client looks for the tray as it starts; the window manager brings the tray and names
# itself on the root window as it comes up.
# shellcheck disable=SC2317 # called by wait_until
window_manager_up() {
  [[ $(xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null) == *"window id"* ]]
}

# Without a desktop (a fresh server install), give the client a virtual one with a tray.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export DISPLAY=:77
  # Another X server there would pass for ours below.
  if display_up; then
    echo "The display $DISPLAY is in use already: is another X server running there?" >&2
    exit 1
  fi
  Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 & xvfb=$!
  pids+=("$xvfb")
  if ! wait_until --while "$xvfb" 10 display_up; then
    echo "The virtual display $DISPLAY did not start" >&2
    exit 1
  fi
  fluxbox >/dev/null 2>&1 & fluxbox=$!
  pids+=("$fluxbox")
  if ! wait_until --while "$fluxbox" 10 window_manager_up; then
    echo "The window manager did not start on $DISPLAY" >&2
    exit 1
  fi
  echo "No display found: running on the virtual display $DISPLAY"
  echo "(screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
fi

# Another program's listener there would pass for the simulator's below.
if port_open 127.0.0.1 6767; then
  echo "Port 6767 is taken: is a simulator running already?" >&2
  exit 1
fi
build/default/sim/torvanel-sim --table "$data/table.txt" < /dev/null & sim=$!
pids+=("$sim")
if ! wait_for_port 127.0.0.1 6767 10 "$sim"; then
  echo "The simulator did not start" >&2
  exit 1
fi
echo "Simulator: 127.0.0.1:6767, table in $data/table.txt"
# In the background, so that a signal to this script is handled at once and not only after
# the client has ended.
build/default/src/TorvanelClient & pids+=($!)
status=0
wait "${pids[-1]}" || status=$?
exit "$status"

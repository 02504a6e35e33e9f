# shellcheck shell=bash
# What the scripts in this folder share; each sources it from the top of the checkout:
# source scripts/lib.sh

# Runs a command as root: directly when we are root, through sudo otherwise.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

# ensure_packages PACKAGE...: installs those of the Debian packages that are missing. The
# package lists are fetched once per run, also across the scripts one script starts.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) == *"install ok installed"* ]] ||
      missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  if [ -z "${TORVANEL_APT_UPDATED:-}" ]; then
    as_root apt-get update -qq
    export TORVANEL_APT_UPDATED=1
  fi
  # Through env: sudo would drop the variable on its way.
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
}

# Milliseconds since the epoch; $SECONDS counts whole seconds only.
now_ms() {
  local t=${EPOCHREALTIME/[.,]/}
  echo $((t / 1000))
}

# wait_until [--while PID]... SECONDS COMMAND...: runs COMMAND every tenth of a second until it
# succeeds. Fails when SECONDS (whole ones) have passed, or at once when a process named with
# --while has ended: what it was to bring about will not come any more.
wait_until() {
  local pids=() deadline pid
  while [ "${1:-}" = --while ]; do
    pids+=("$2")
    shift 2
  done
  deadline=$(($(now_ms) + $1 * 1000))
  shift
  until "$@"; do
    for pid in "${pids[@]}"; do
      kill -0 "$pid" 2>/dev/null || return 1
    done
    [ "$(now_ms)" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Whether something accepts connections on HOST PORT. The connection is closed at once; a host
# that does not answer at all counts as closed after a second.
port_open() {
  # shellcheck disable=SC2016 # $0 and $1 are the inner shell's, HOST and PORT
  timeout 1 bash -c 'exec 3<>"/dev/tcp/$0/$1"' "$1" "$2" 2>/dev/null
}

# wait_for_port HOST PORT [SECONDS [PID]]: waits until something listens on HOST PORT, at most
# SECONDS (default 10), and no longer than process PID, which is to open it, runs.
wait_for_port() {
  local host=$1 port=$2 seconds=${3:-10} pid=${4:-} watch=()
  if [ -n "$pid" ]; then
    watch=(--while "$pid")
  fi
  wait_until "${watch[@]}" "$seconds" port_open "$host" "$port"
}

# wait_for_sim_port LOG PID [SECONDS]: prints the port the simulator started with --port 0
# chose, once its LOG says it listens there. Fails when that takes longer than SECONDS
# (default 5) or when the simulator, process PID, ends first.
wait_for_sim_port() {
  local log=$1 pid=$2 seconds=${3:-5} port
  wait_until --while "$pid" "$seconds" grep -q ' listening on ' "$log" || return 1
  port=$(sed -n 's/.* listening on [^ ]*:\([0-9]*\),.*/\1/p' "$log")
  [ -n "$port" ] && echo "$port"
}

# Whether the simulator's verbose LOG shows a client at work: it asked for the table and had a
# heartbeat answered.
sim_served_client() {
  local after_heartbeats
  grep -q '<- \[___GDAT\]' "$1" || return 1
  after_heartbeats=$(grep -A1 '<- \[___TEST\]' "$1") || return 1
  grep -q -- '-> \[___TEST\]' <<<"$after_heartbeats"
}

# expect_client_served SIM CLIENT LOG: waits up to 20 s for sim_served_client, and calls the
# script's own `fail` with what went wrong: which of the two ended, or that nothing came.
expect_client_served() {
  wait_until --while "$1" --while "$2" 20 sim_served_client "$3" && return 0
  kill -0 "$1" 2>/dev/null || fail "the simulator ended"
  kill -0 "$2" 2>/dev/null || fail "the client ended"
  fail "no table request and answered heartbeat within 20 s"
}

# stop_processes PID...: ends each process and waits for it, so that none is left running or
# as a zombie.
stop_processes() {
  local pid
  for pid in "$@"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

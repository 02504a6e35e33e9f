#!/usr/bin/env bash
# Builds the Debian packages (scripts/package.sh) and checks them: lintian, the desktop
# entries, the AppStream data, the systemd unit, one version throughout, and a smoke run of
# the packaged client against the packaged simulator, both unpacked into a scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

bash scripts/package.sh
ensure_packages lintian desktop-file-utils appstream systemd

client_deb=$(echo build/packages/torvanel-client_*.deb)
sim_deb=$(echo build/packages/torvanel-sim_*.deb)
scratch=$(mktemp -d -t torvanel-package.XXXXXX)
pids=()
cleanup() {
  stop_processes "${pids[@]}"
  rm -rf "$scratch"
}
trap cleanup EXIT

root=$scratch/root
dpkg -x "$client_deb" "$root"
dpkg -x "$sim_deb" "$root"

echo "=== lintian"
# Errors and warnings fail; the informational tags we live with are in packaging/README.md.
lintian --allow-root --fail-on error,warning --display-info "$client_deb" "$sim_deb"

echo "=== desktop-file-validate"
# Hints (suggestions) pass; warnings and errors do not.
out=$(desktop-file-validate "$root"/usr/share/applications/*.desktop \
        "$root"/usr/share/torvanel-client/autostart/*.desktop 2>&1) || { echo "$out"; exit 1; }
if grep -v ': hint: ' <<<"$out" | grep -q .; then echo "$out"; exit 1; fi
[ -z "$out" ] || echo "$out"

echo "=== appstreamcli validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

echo "=== systemd-analyze verify"
# The unit names /usr/bin/torvanel-sim, which is not installed here; everything else it says
# is a fault in the unit.
out=$(systemd-analyze verify --man=no "$root"/usr/lib/systemd/system/torvanel-sim.service 2>&1 |
        grep -v 'Command /usr/bin/torvanel-sim is not executable' || true)
if [ -n "$out" ]; then echo "$out"; exit 1; fi

echo "=== one version"
version=$(dpkg-deb -f "$client_deb" Version)
for v in "$(dpkg-deb -f "$sim_deb" Version)" \
         "$(zcat "$root"/usr/share/doc/torvanel-client/changelog.gz | sed -n '1s/.*(\(.*\)).*/\1/p')" \
         "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
              "$root"/usr/share/metainfo/*.metainfo.xml | head -n 1)"; do
  if [ "$v" != "$version" ]; then
    echo "Version $v found beside $version: packaging/changelog and the metainfo's releases" \
         "must name the project's version" >&2
    exit 1
  fi
done
echo "$version"

echo "=== smoke run"
sim_log=$scratch/sim.log
client_log=$scratch/client.log
# Nothing of the user running the check: the client's settings, journal and instance lock
# all go to the scratch folder.
mkdir -p "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
"$root/usr/bin/torvanel-sim" --port 0 --table "$scratch/table.txt" --verbose \
  </dev/null >"$sim_log" 2>&1 &
sim=$!
pids+=("$sim")

fail() {
  echo "Smoke run failed: $1" >&2
  echo "--- simulator log"; cat "$sim_log"
  echo "--- client log"; cat "$client_log" 2>/dev/null || true
  exit 1
}

if ! port=$(wait_for_sim_port "$sim_log" "$sim"); then
  kill -0 "$sim" 2>/dev/null || fail "the simulator ended"
  fail "the simulator did not say its port"
fi

# The shipped sample, pointed at the simulator's port, beside the program where the client
# looks for it first.
sed "s/^H_Port=.*/H_Port=$port/" "$root/usr/share/doc/torvanel-client/TorvanelClient.ini.sample" \
  >"$root/usr/bin/TorvanelClient.ini"
(cd "$scratch/home" &&
   exec env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" \
     XDG_DATA_HOME="$scratch/home/.local/share" XDG_RUNTIME_DIR="$scratch/runtime" \
     QT_QPA_PLATFORM=offscreen "$root/usr/bin/TorvanelClient" >"$client_log" 2>&1) &
client=$!
pids+=("$client")

# The table is asked for at once; heartbeats come every five seconds.
expect_client_served "$sim" "$client" "$sim_log"
echo "client on the simulator's port $port: table requested, heartbeat answered"
echo "package checks passed"

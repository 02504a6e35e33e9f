#!/usr/bin/env bash
# Builds the normal and the sanitizer configuration and runs every test in both, then gives
# the fuzzers (receive path, settings file) a short run each.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

for preset in default asan; do
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

echo "=== fuzz (short runs) ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
for target in receive ini; do
  seeds=fuzz/corpus; [ "$target" = ini ] && seeds=fuzz/corpus-ini
  corpus=$(mktemp -d)
  cp "$seeds"/* "$corpus"/
  ./build/fuzz/fuzz/fuzz_$target -max_total_time="${FUZZ_SECONDS:-30}" "$corpus" 2>&1 | tail -n 1
  rm -rf "$corpus"
done

echo "=== packages ==="
bash scripts/package-check.sh
bash scripts/windows.sh

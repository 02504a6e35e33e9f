#!/usr/bin/env bash
# Builds the normal and the sanitizer configuration and runs every test in both, then gives
# the receive-path fuzzer a short run.
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

echo "=== fuzz (short run) ==="
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
corpus=$(mktemp -d)
cp fuzz/corpus/* "$corpus"/
./build/fuzz/fuzz/fuzz_receive -max_total_time="${FUZZ_SECONDS:-30}" "$corpus" 2>&1 | tail -n 2
rm -rf "$corpus"
bash scripts/package-check.sh

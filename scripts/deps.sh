#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing; with --run also what
# scripts/run.sh needs for a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# poppler-utils: pdftotext reads the report's PDF back in its test.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-translations-l10n libgl-dev
          libcanberra-dev libbenchmark-dev librapidcheck-dev clang libclang-rt-14-dev
          poppler-utils)
if [ "${1:-}" = "--run" ]; then
  # xdpyinfo and xprop (x11-utils) tell when the display and its window manager are up.
  packages+=(xvfb fluxbox x11-utils)
fi
ensure_packages "${packages[@]}"

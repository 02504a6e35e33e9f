#!/usr/bin/env bash
# Renders the PNG sizes of the desktop icon from de.torvanel.Client.svg (16 px from its own
# drawing, de.torvanel.Client-16.svg, which sits on whole pixels). The PNGs are kept in
# the repository, so that building the packages needs no SVG renderer; run this after every
# change to the drawing and commit what it wrote.
set -euo pipefail
cd "$(dirname "$0")"

if ! command -v rsvg-convert >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: librsvg2-bin"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq librsvg2-bin
fi

for size in 16 32 48 128 256; do
  drawing=de.torvanel.Client.svg
  [ "$size" -eq 16 ] && drawing=de.torvanel.Client-16.svg
  mkdir -p "${size}x${size}"
  rsvg-convert -w "$size" -h "$size" "$drawing" -o "${size}x${size}/de.torvanel.Client.png"
done

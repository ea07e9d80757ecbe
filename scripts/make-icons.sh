#!/usr/bin/env bash
# Renders the program's PNG icons from its SVG; run after changing the drawing (needs rsvg-convert
# from librsvg2-bin). The PNGs are kept in the repository so a build needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}"
  rsvg-convert -w "$size" -h "$size" org.quenda.Ipod.svg -o "${size}x${size}/org.quenda.Ipod.png"
done

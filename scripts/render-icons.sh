#!/usr/bin/env bash
# Renders the application icon's PNG sizes from data/icons/quillmark.svg into
# data/icons/hicolor/. The PNGs are committed, so a build needs no SVG renderer; run this
# (it needs librsvg2-bin) after changing the SVG and commit the result.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt-get install librsvg2-bin" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  out="data/icons/hicolor/${size}x${size}/apps/quillmark.png"
  mkdir -p "$(dirname "$out")"
  rsvg-convert -w "$size" -h "$size" data/icons/quillmark.svg -o "$out"
done

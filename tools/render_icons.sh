#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (rsvg-convert, from
# librsvg2-bin). The PNGs are kept in the tree; run this after changing the SVG.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
svg="$here/desktop/icons/io.github.tavrin.Tavrin.svg"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "$here/desktop/icons/${size}x${size}"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$here/desktop/icons/${size}x${size}/io.github.tavrin.Tavrin.png"
done

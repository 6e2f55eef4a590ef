#!/bin/bash
# Renders the toolbar's pictures from their drawings: 16 px for the toolbar,
# and 32 px as name@2x.png, which Qt adds by itself on screens that scale by two. The PNGs are committed, so a build
# needs no SVG renderer; run this after changing a drawing (needs librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../src/main/icons"
for drawing in *.svg; do
    name=${drawing%.svg}
    rsvg-convert -w 16 -h 16 "$drawing" -o "$name.png"
    rsvg-convert -w 32 -h 32 "$drawing" -o "$name@2x.png"
done

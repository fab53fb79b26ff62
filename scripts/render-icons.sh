#!/usr/bin/env bash
# Renders the PNG sizes of the icon from data/icons/tallemo.svg (needs librsvg2-bin). The PNGs
# are committed, so a build needs neither this script nor rsvg-convert; run it after editing
# the SVG.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" tallemo.svg --output "tallemo-$size.png"
done

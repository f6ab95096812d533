#!/usr/bin/env bash
# Renders the icon's PNG sizes from data/icons/mixgen.svg. Run it after changing the SVG and
# commit the PNGs with it; the build only installs them. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 48 256; do
  rsvg-convert --width "$size" --height "$size" --output "data/icons/mixgen-$size.png.new" \
    data/icons/mixgen.svg
  mv -f "data/icons/mixgen-$size.png.new" "data/icons/mixgen-$size.png"
done

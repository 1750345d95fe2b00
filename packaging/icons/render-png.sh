#!/usr/bin/env bash
# Renders the PNG sizes of the program icons from their SVG drawings (rsvg-convert from
# librsvg2-bin). The PNGs are kept in the repository so that a build needs no SVG renderer; run
# this again after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
    for size in 16 22 24 32 48 64 128 256; do
        mkdir -p "png/${size}x${size}"
        rsvg-convert -w "$size" -h "$size" "$svg" -o "png/${size}x${size}/${svg%.svg}.png"
    done
done

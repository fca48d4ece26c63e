#!/usr/bin/env bash
# Renders the 256 px PNG of the icon from its SVG (data/desktop/). Run it after
# changing the SVG and commit both; ImageMagick hands SVG to rsvg-convert
# (Debian packages imagemagick and librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/desktop"
convert -background none kvx3.svg -resize 256x256 -strip png32:kvx3-256.png.new
mv kvx3-256.png.new kvx3-256.png
identify kvx3-256.png

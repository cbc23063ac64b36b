#!/usr/bin/env bash
# Renders the committed PNG icons from their SVG sources (needs rsvg-convert, Debian librsvg2-bin);
# run it after changing an SVG below resources/icons. The build itself only reads the PNGs.
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
out=png
rm -rf "$out" && mkdir -p "$out/toolbar"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w $size -h $size vellacord.svg -o "$out/vellacord-$size.png"
done
for size in 16 22 24 32 48 64; do
  rsvg-convert -w $size -h $size vellacord-new-entries.svg -o "$out/vellacord-new-entries-$size.png"
done
for svg in toolbar/*.svg; do
  name=$(basename "$svg" .svg)
  for size in 16 24 32; do
    rsvg-convert -w $size -h $size "$svg" -o "$out/toolbar/$name-$size.png"
  done
done

#!/usr/bin/env bash
# Makes the still preview (preview.bmp, 256 x 192, shown by "/P") and the
# picture README.md shows (scene.png) with the program's own off-screen
# renderer: the default settings with the blue background, a fixed seed and
# clock, two minutes into the scene. Needs a built build/frostwisp and
# ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
XDG_CONFIG_HOME="$tmp" FROSTWISP_SEED=7 build/frostwisp --render "$tmp/scene.png" \
  --size 1024x768 --ticks 4000 --clock 2026-12-24T18:30:00 --background blue
cp "$tmp/scene.png" resources/scene.png
convert "$tmp/scene.png" -filter Box -resize 256x192 -type TrueColor BMP3:resources/preview.bmp

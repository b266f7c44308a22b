#!/usr/bin/env bash
# Redraws the project's own artwork (provider icon, host pictures and card icons) with QPainter.
# The PNG files are committed; run this only after changing scripts/draw_artwork.cpp.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
g++ -std=c++17 -O1 -fPIC "$root/scripts/draw_artwork.cpp" -o "$out/draw_artwork" \
    $(pkg-config --cflags --libs Qt6Gui)
"$out/draw_artwork" "$root"

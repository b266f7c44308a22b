#!/usr/bin/env bash
# Builds, then saves a screenshot of every gallery page (or of the pages named) under a virtual
# X server: scripts/screenshots.sh [--out DIR] [page...]. Default folder: build/screenshots.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
out="$build/screenshots"
if [ "${1:-}" = "--out" ]; then out="$2"; shift 2; fi
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1920x1200x24" "$build/bin/joyrelay-gallery" --out "$out" "$@"

#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole CTest suite under a virtual X server.
# Extra arguments go to ctest (for example: -R calibration).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"

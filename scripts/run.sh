#!/usr/bin/env bash
# Builds, then runs the stand-in host with the Joyrelay plugin.
#   scripts/run.sh                       virtual demo controllers (host/demo); a window when a display
#                                        is available, else a transcript for 8 seconds
#   scripts/run.sh --real                the machine's own controllers, through SFML
#   scripts/run.sh --headless --duration 12000
# Other arguments go to the host (scripts/run.sh --help lists them).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
host="$build/bin/joyrelay-host"

real=0
args=()
for arg in "$@"; do
    if [ "$arg" = "--real" ]; then real=1; else args+=("$arg"); fi
done

if [ "$real" = 1 ]; then
    unset JOYRELAY_VIRTUAL_PADS
    exec "$host" "${args[@]}"
fi

# The demo keeps its registry and definitions apart from the user's own data.
export XDG_DATA_HOME="${JOYRELAY_DEMO_DATA:-$build/demo-data}"
exec "$host" --scenario "$root/host/demo/virtual-pads.json" \
    --seed-definitions "$root/host/demo/definitions" --auto-select "${args[@]}"

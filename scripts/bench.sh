#!/usr/bin/env bash
# Builds in release mode and runs every benchmark; extra arguments go to each benchmark
# (for example: --benchmark_filter=processAxis).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build-release}"
export BUILD_TYPE=Release
"$root/scripts/build.sh"
status=0
for bench in $(find "$BUILD_DIR/bench" -type f -name 'bench_*' -perm -u+x | sort); do
    echo "== $(basename "$bench")"
    QT_QPA_PLATFORM=offscreen JOYRELAY_VIRTUAL_PADS= "$bench" "$@" || status=1
done
exit $status

#!/usr/bin/env bash
# Configures and builds the whole project into ${BUILD_DIR:-build} (only the targets named in
# BUILD_TARGETS when it is set). Arguments go to the CMake configuration.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
build="${BUILD_DIR:-$root/build}"
launcher=()
# Rebuilds of several checkouts share one compiler cache when ccache is installed.
# Paths are hashed relative to the checkout, so a clean clone elsewhere finds the same entries.
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" \
    "$@" >/dev/null
targets=()
for target in ${BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"

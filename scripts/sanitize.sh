#!/usr/bin/env bash
# Builds everything with AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer on) into
# ${SANITIZE_BUILD_DIR:-build-asan} with clang, the fuzz targets included, and runs the whole CTest
# suite there. Any sanitizer report fails the test it comes from. Extra arguments go to ctest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" clang libclang-rt-14-dev
build="${SANITIZE_BUILD_DIR:-$root/build-asan}"
BUILD_DIR="$build" "$root/scripts/build.sh" -DCMAKE_CXX_COMPILER=clang++ -DJOY_BUILD_FUZZERS=ON
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"

#!/usr/bin/env bash
# Soak run in the instrumented build (AddressSanitizer + UndefinedBehaviorSanitizer): a looping
# virtual pad moving every axis and button at each 10 ms tick, sampled at 100 Hz, with the device
# list and its registry live, for MINUTES (default 10). Passes when resident memory grew by less
# than 1 MB after the first minute and no sanitizer reported anything.
#   nice -n 19 scripts/soak.sh [MINUTES]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
minutes="${1:-10}"
build="${SANITIZE_BUILD_DIR:-$root/build-asan}"
"$root/scripts/setup.sh" clang libclang-rt-14-dev
BUILD_DIR="$build" BUILD_TARGETS=joyrelay-soak "$root/scripts/build.sh" \
    -DCMAKE_CXX_COMPILER=clang++ -DJOY_BUILD_FUZZERS=ON
# No quarantine: at the soak's allocation rate even a 16 MB quarantine of freed blocks is still
# filling after ten minutes (resident +3.5 MB while the heap in use stays flat), and its growth
# would hide ours. Use after free in general is the sanitizer suite's job, with the full quarantine.
export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=0:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_LOGGING_RULES="hx.plugin.gamepad.input.debug=false"
"$build/bin/joyrelay-soak" "$minutes"

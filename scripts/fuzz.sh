#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer with AddressSanitizer + UndefinedBehaviorSanitizer) and
# runs each for SECONDS (default 60; 0 = no time limit) over a scratch copy of its corpus, then
# prints per target the executions, the coverage (libFuzzer's cov: and ft:) and the findings.
#   scripts/fuzz.sh [SECONDS] [reader...]           every reader of fuzz/corpus/ when none is named
#   FUZZ_RUNS=10000000 nice -n 19 scripts/fuzz.sh 0 meta   stops after that many executions
#   FUZZ_RESUME=1 FUZZ_RUNS=3000000 scripts/fuzz.sh 0 meta   goes on over the corpus a run left
# New inputs go to ${FUZZ_WORK:-build-asan/fuzz-work}/<reader>/corpus, never into fuzz/corpus;
# a crashing, hanging or leaking input is saved there as artifacts/crash-* (or leak-*, timeout-*):
# fix the reader and keep the input in fuzz/regressions/<reader>/. Exits 1 when anything was found.
# A long count may leave AddressSanitizer out (its own build, build-fuzz-undefined/), then replay
# everything it kept under both sanitizers:
#   FUZZ_SANITIZERS=undefined FUZZ_RESUME=1 scripts/fuzz.sh 3600 definitionfolder
#   FUZZ_REPLAY=1 scripts/fuzz.sh 0 definitionfolder     every input of the work corpus, once each
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
sanitizers="${FUZZ_SANITIZERS:-address,undefined}"
if [ "$sanitizers" = address,undefined ]; then
    build="${SANITIZE_BUILD_DIR:-$root/build-asan}"
else
    build="${SANITIZE_BUILD_DIR:-$root/build-fuzz-${sanitizers//,/-}}"
fi
work="${FUZZ_WORK:-$root/build-asan/fuzz-work}"

readers=("$@")
if ((${#readers[@]} == 0)); then
    for dir in "$root"/fuzz/corpus/*/; do readers+=("$(basename "$dir")"); done
fi
targets=()
for reader in "${readers[@]}"; do targets+=("fuzz_$reader"); done

"$root/scripts/setup.sh" clang libclang-rt-14-dev
BUILD_DIR="$build" BUILD_TARGETS="${targets[*]}" "$root/scripts/build.sh" \
    -DCMAKE_CXX_COMPILER=clang++ -DJOY_BUILD_FUZZERS=ON -DJOY_SANITIZERS="$sanitizers"

# A 16 MB quarantine instead of 256 MB: freed memory comes back soon enough to stay in the cache,
# which makes the targets three times faster; use-after-free is still caught while it is recent.
# FUZZ_ASAN_OPTIONS adds to them (a long run may keep fewer frames per allocation, for example
# malloc_context_size=5: the sanitizer's stack records are a quarter of a folder input's time).
export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=16:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1${FUZZ_ASAN_OPTIONS:+:$FUZZ_ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export JOYRELAY_VIRTUAL_PADS=

limits=(-timeout=10 -rss_limit_mb=3072 -print_final_stats=1)
if [ "$seconds" != 0 ]; then limits+=(-max_total_time="$seconds"); fi
if [ -n "${FUZZ_RUNS:-}" ]; then limits+=(-runs="$FUZZ_RUNS"); fi

status=0
printf '%-12s %12s %8s %8s %8s %s\n' reader executions cov ft findings seconds
for reader in "${readers[@]}"; do
    dir="$work/$reader"
    # A long run cut short goes on from the corpus it grew; its artifacts stay counted.
    if [ -z "${FUZZ_RESUME:-}${FUZZ_REPLAY:-}" ] || [ ! -d "$dir/corpus" ]; then rm -rf "$dir"; fi
    mkdir -p "$dir/corpus" "$dir/artifacts"
    cp "$root/fuzz/corpus/$reader"/* "$dir/corpus/"
    if [ -d "$root/fuzz/regressions/$reader" ]; then
        cp "$root/fuzz/regressions/$reader"/* "$dir/corpus/" 2>/dev/null || true
    fi
    dict=()
    # A registry holds a handful of pads, a folder a few files, links and special files: longer
    # inputs only repeat records or grow the files' bodies, and slow each run down (the folder
    # target's rate had halved by the time its inputs reached 3 KB).
    case "$reader" in registry | definitionfolder) dict+=(-max_len=2048) ;; esac
    # Documents of megabytes (a long list of names, a large picture) must be reachable.
    if [ "$reader" = exchangedocument ]; then dict+=(-max_len=8388608); fi
    # Two bytes an operation, 128 operations at most. Each input builds a whole window: the leak
    # check at exit stays, the per-input one (which runs inputs twice) is off, and shorter
    # allocation stacks keep the sanitizer's bookkeeping small.
    asan="$ASAN_OPTIONS"
    if [ "$reader" = editorsequence ]; then
        # A hundred definitions created one after the other under the sanitizers took 10 to 15 s
        # while builds ran beside it: a slow input, not a hang (about 1 s uninstrumented).
        dict+=(-max_len=257 -len_control=0 -detect_leaks=0 -timeout=60 -report_slow_units=60)
        asan="$asan:malloc_context_size=8"
    fi
    if [ -f "$root/fuzz/dictionaries/$reader.dict" ]; then dict+=(-dict="$root/fuzz/dictionaries/$reader.dict"); fi
    start=$SECONDS
    # The files a check writes go to a scratch folder of their own, in memory when possible: the
    # writers sync every file they commit, which a disk would make the slowest part of a run.
    shm=/dev/shm
    [ -d "$shm" ] && [ -w "$shm" ] || shm="$dir"
    scratch="$(mktemp -d "$shm/joyrelay-fuzz-$reader.XXXXXX")"
    if [ -n "${FUZZ_REPLAY:-}" ]; then
        # Each kept input once, as files: libFuzzer runs them and mutates nothing.
        find "$dir/corpus" -type f -print0 | ASAN_OPTIONS="$asan" TMPDIR="$scratch" xargs -0 -r \
            "$build/fuzz/fuzz_$reader" "${limits[@]}" "${dict[@]}" -artifact_prefix="$dir/artifacts/" \
            >"$dir/replay.log" 2>&1 || true
        rm -rf "$scratch"
        runs=$(grep -c '^Executed ' "$dir/replay.log" || true)
        findings=$(grep -c '==ERROR\|== ERROR\|runtime error\|reader check failed' "$dir/replay.log" || true)
        printf '%-12s %12s %8s %8s %8s %s\n' "$reader" "$runs replayed" - - "$findings" "$((SECONDS - start))"
        if [ "$findings" != 0 ] || [ "$runs" = 0 ]; then
            status=1
            echo "  see $dir/replay.log"
        fi
        continue
    fi
    ASAN_OPTIONS="$asan" TMPDIR="$scratch" "$build/fuzz/fuzz_$reader" "${limits[@]}" "${dict[@]}" \
        -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$dir/log" 2>&1 || true
    rm -rf "$scratch"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -1 | cut -d' ' -f2 || true)
    ft=$(grep -o 'ft: [0-9]*' "$dir/log" | tail -1 | cut -d' ' -f2 || true)
    findings=$(find "$dir/artifacts" -type f | wc -l)
    printf '%-12s %12s %8s %8s %8s %s\n' "$reader" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$findings" \
        "$((SECONDS - start))"
    if [ "$findings" != 0 ] || [ -z "$runs" ]; then
        status=1
        echo "  see $dir/log and $dir/artifacts/"
    fi
done
exit $status

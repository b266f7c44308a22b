#!/usr/bin/env bash
# Builds in release mode and runs every benchmark; extra arguments go to each benchmark
# (for example: --benchmark_filter=processAxis).
#
# scripts/bench.sh idle [WARMUP_S [SPAN_S]]: idle cost. Under one virtual X server, starts the idle
# hosts of bench/idle (bare Qt program, 10 ms, 50 ms and 1 s timers, plugin file only, model and
# delegate, one sampling virtual pad) and, when installed, the peers AntiMicroX and QJoyPad; after WARMUP_S (5)
# seconds reads each process's CPU time from /proc, again SPAN_S (30) seconds later, and prints
# the shares of one core. IDLE_BASELINE=<build folder> runs that build's pad host beside them;
# IDLE_COPIES=N runs N copies of the 100 Hz host and of each pad host and compares their means.
#
# scripts/bench.sh latency [SECONDS]: sampling steadiness and latency (bench/latency): intervals
# between sampling steps and delays from a backend change to dataChanged, p50/p99/max, for the
# virtual backend and, side by side over the same span, for the SFML driver reading a mocked kernel
# joystick (an event written to the node -> dataChanged, under umockdev-wrapper); beside both the
# machine's floor (a bare 10 ms timerfd loop), and the load once more.
#
# scripts/bench.sh session [OPERATIONS]: the editing session of bench/session (1,000 definitions,
# four virtual pads sampling at 100 Hz, the configuration window, OPERATIONS (600) user operations
# 50 ms apart) with the stall meter, side by side with the same pads and clock without the editor;
# the load before and after.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build-release}"
export BUILD_TYPE=Release

# CPU time of a process in nanoseconds: the scheduler's run time of its threads, or the tick
# counts of /proc/<pid>/stat where schedstat is missing.
cpu_ns() {
    local pid=$1 total=0 task run
    if [ -r "/proc/$pid/schedstat" ]; then
        for task in /proc/"$pid"/task/*/schedstat; do
            read -r run _ <"$task" 2>/dev/null || continue
            total=$((total + run))
        done
        echo "$total"
    else
        local fields
        read -r -a fields <<<"$(sed 's/^.*) //' "/proc/$pid/stat")"
        echo $(((fields[11] + fields[12]) * 1000000000 / $(getconf CLK_TCK)))
    fi
}

measure_idle() {
    local warmup=$1 span=$2 host="$BUILD_DIR/bench/idle/idle_host"
    local labels=() pids=() label
    start() {
        label=$1
        shift
        "$@" >/dev/null 2>&1 &
        labels+=("$label")
        pids+=($!)
    }
    for mode in bare timer timer50 timer1s file model pad; do start "idle_host $mode" "$host" "$mode"; done
    # IDLE_BASELINE=<build folder>: that build's sampling pad beside this one's, over the same span.
    if [ -n "${IDLE_BASELINE:-}" ]; then start "baseline pad" "$IDLE_BASELINE/bench/idle/idle_host" pad; fi
    if command -v antimicrox >/dev/null; then start "AntiMicroX $(dpkg-query -W -f='${Version}' antimicro 2>/dev/null)" antimicrox --hidden; fi
    if command -v qjoypad >/dev/null; then start "QJoyPad $(dpkg-query -W -f='${Version}' qjoypad 2>/dev/null)" qjoypad --notray; fi
    # IDLE_COPIES=N: N copies of the bare 100 Hz host and of the pad host (and of the baseline's),
    # whose means are compared: one copy's figure moves by more than what is measured.
    local copy
    for ((copy = 2; copy <= ${IDLE_COPIES:-1}; copy++)); do
        start "idle_host timer #$copy" "$host" timer
        start "idle_host pad #$copy" "$host" pad
        if [ -n "${IDLE_BASELINE:-}" ]; then start "baseline pad #$copy" "$IDLE_BASELINE/bench/idle/idle_host" pad; fi
    done
    trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
    sleep "$warmup"
    local before=() after=() t0 t1 i
    t0=$(date +%s%N)
    for i in "${!pids[@]}"; do before[i]=$(cpu_ns "${pids[i]}"); done
    sleep "$span"
    t1=$(date +%s%N)
    for i in "${!pids[@]}"; do after[i]=$(cpu_ns "${pids[i]}"); done
    echo "idle cost over $(((t1 - t0) / 1000000)) ms after ${warmup} s of warm-up; $(uptime | sed 's/^.*load/load/')"
    printf '%-28s %12s %10s\n' program "CPU ms" "% of core"
    local share=() ns
    for i in "${!pids[@]}"; do
        ns=$((after[i] - before[i]))
        share[i]=$(awk -v n="$ns" -v w="$((t1 - t0))" 'BEGIN { printf "%.3f", 100 * n / w }')
        printf '%-28s %12.1f %10s\n' "${labels[i]}" "$(awk -v n="$ns" 'BEGIN { print n / 1e6 }')" "${share[i]}"
    done
    awk -v m="${share[5]}" -v f="${share[4]}" -v p="${share[6]}" -v t="${share[1]}" 'BEGIN {
        printf "plugin idle share (model - file): %.3f %% (target <= 0.1 %%)\n", m - f
        printf "one sampling pad (pad, whole host): %.3f %% (target <= 0.65 %%)\n", p
        printf "the pad above a bare host woken at 100 Hz (pad - timer): %.3f %% (target <= 0.07 %%)\n", p - t }'
    if [ -n "${IDLE_BASELINE:-}" ]; then
        awk -v b="${share[7]}" -v t="${share[1]}" 'BEGIN { printf "baseline pad above it: %.3f %%\n", b - t }'
    fi
    if [ "${IDLE_COPIES:-1}" -gt 1 ]; then
        for i in "${!pids[@]}"; do printf '%s\t%s\n' "${labels[i]}" "${share[i]}"; done | awk -F'\t' '
            $1 ~ /^idle_host timer( #[0-9]+)?$/ { t += $2; nt++ }
            $1 ~ /^idle_host pad( #[0-9]+)?$/ { p += $2; np++ }
            $1 ~ /^baseline pad( #[0-9]+)?$/ { b += $2; nb++ }
            END {
                printf "means over %d copies: timer %.3f %%, pad %.3f %%, the pad above the floor %.3f %% (target <= 0.07 %%)\n", nt, t / nt, p / np, p / np - t / nt
                if (nb) printf "baseline pad above the floor, same means: %.3f %%\n", b / nb - t / nt
            }'
    fi
}

if [ "${1:-}" = "--idle-inner" ]; then
    shift
    measure_idle "$@"
    exit 0
fi
if [ "${1:-}" = "latency" ]; then
    "$root/scripts/build.sh" >/dev/null
    echo "$(uptime | sed 's/^.*load/load/')"
    # The driver's path and the floor run over the same span, side by side, so all three see the
    # same machine.
    floor="$(mktemp)"
    driver="$(mktemp)"
    "$BUILD_DIR/bench/latency/sampling_latency" "${2:-10}" --floor >"$floor" &
    floor_pid=$!
    QT_QPA_PLATFORM=offscreen umockdev-wrapper "$BUILD_DIR/bench/latency/sampling_latency" "${2:-10}" \
        --driver >"$driver" 2>&1 &
    driver_pid=$!
    # A failed measurement must neither leave the others running nor their output behind.
    trap 'kill "$floor_pid" "$driver_pid" 2>/dev/null || true; rm -f "$floor" "$driver"' EXIT
    QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bench/latency/sampling_latency" "${2:-10}"
    wait "$driver_pid" # their own status, so a failed one fails the run
    cat "$driver"
    wait "$floor_pid"
    cat "$floor"
    echo "$(uptime | sed 's/^.*load/load/')"
    exit 0
fi
if [ "${1:-}" = "session" ]; then
    BUILD_TARGETS=editing_session "$root/scripts/build.sh" >/dev/null
    echo "$(uptime | sed 's/^.*load/load/')"
    baseline="$(mktemp)"
    QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bench/session/editing_session" --operations "${2:-600}" --no-editor \
        >"$baseline" 2>/dev/null &
    baseline_pid=$!
    trap 'kill "$baseline_pid" 2>/dev/null || true; rm -f "$baseline"' EXIT
    QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bench/session/editing_session" --operations "${2:-600}" 2>/dev/null
    wait "$baseline_pid"
    cat "$baseline"
    echo "$(uptime | sed 's/^.*load/load/')"
    exit 0
fi
if [ "${1:-}" = "idle" ]; then
    "$root/scripts/build.sh" >/dev/null
    cmake --build "$BUILD_DIR" --target idle_host joyrelay >/dev/null
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --idle-inner "${2:-5}" "${3:-30}"
fi

"$root/scripts/build.sh"
status=0
for bench in $(find "$BUILD_DIR/bench" -type f -name 'bench_*' -perm -u+x | sort); do
    echo "== $(basename "$bench")"
    QT_QPA_PLATFORM=offscreen JOYRELAY_VIRTUAL_PADS= "$bench" "$@" || status=1
done
exit $status

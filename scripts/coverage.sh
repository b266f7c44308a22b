#!/usr/bin/env bash
# Builds with coverage (Debug, --coverage) into ${COVERAGE_DIR:-build-coverage}, runs the CTest
# suite under a virtual X server and prints the line and branch coverage of the code per folder,
# for the runtime folders without the editors, and overall (tests/, bench/, host/, scripts/ and
# fuzz/ are not counted). Extra arguments go to ctest (for example: -R calibration). Benchmarks are
# not built: only the tests count.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
if ! command -v gcovr >/dev/null 2>&1; then
    echo "Installing missing packages: gcovr"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends gcovr
fi

build="${COVERAGE_DIR:-$root/build-coverage}"
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
    -DJOY_BUILD_BENCHMARKS=OFF -DCMAKE_CXX_FLAGS=--coverage \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
    -DCMAKE_MODULE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j "$(nproc)"

# Counters of an earlier run would add up with this one.
find "$build" -name '*.gcda' -delete
# Notes of a test program that no longer exists would count the headers it included as never run.
ninja -C "$build" -t cleandead >/dev/null
find "$build" -name '*.gcno' | while read -r notes; do
    [ -e "${notes%.gcno}.o" ] || rm -f "$notes"
done
status=0
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir "$build" --output-on-failure -j "$(nproc)" \
    "$@" || status=$?

summary="$build/coverage-summary.json"
(cd "$build" && gcovr --root "$root" --object-directory "$build" -j "$(nproc)" \
    --exclude "$root/(tests|bench|host|scripts|fuzz|build[^/]*)/" \
    --exclude-directories '.*/CMakeFiles/[0-9.]+/' \
    --json-summary "$summary" >/dev/null)
python3 - "$summary" <<'EOF'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
folders = {}
for f in files:
    top = f["filename"].split("/")[0]
    c = folders.setdefault(top, [0, 0, 0, 0])
    c[0] += f["line_covered"]; c[1] += f["line_total"]
    c[2] += f["branch_covered"]; c[3] += f["branch_total"]
def pct(a, b):
    return "%6.1f %%" % (100.0 * a / b) if b else "     - "
print("%-16s %-20s %-20s" % ("folder", "lines", "branches"))
total = [0, 0, 0, 0]
for name in sorted(folders):
    c = folders[name]
    total = [t + v for t, v in zip(total, c)]
    print("%-16s %s %5d/%-5d %s %5d/%-5d" % (name + "/", pct(c[0], c[1]), c[0], c[1],
                                            pct(c[2], c[3]), c[2], c[3]))
# The runtime folders, without the editors (editor/, calibration_ui/).
runtime = [0, 0, 0, 0]
for name in ("hostapi", "plugin", "input", "calibration", "registry", "profiles", "definitions", "overlay", "widgets"):
    runtime = [t + v for t, v in zip(runtime, folders.get(name, [0, 0, 0, 0]))]
for label, c in (("runtime", runtime), ("overall", total)):
    print("%-16s %s %5d/%-5d %s %5d/%-5d" % (label, pct(c[0], c[1]), c[0], c[1], pct(c[2], c[3]), c[2], c[3]))
EOF
# The suite's size against the code it tests (.cpp/.h lines of the tracked files).
if git -C "$root" rev-parse >/dev/null 2>&1; then
    count() { git -C "$root" ls-files -- '*.cpp' '*.h' | grep -E "$@" | (cd "$root" && xargs cat) | wc -l; }
    tests=$(count '^tests/')
    code=$(count -v '^(tests|bench)/')
    python3 -c "import sys; t, c = map(int, sys.argv[1:]); print('tests/ %d lines for %d lines of code outside tests/ and bench/: %.4f' % (t, c, t / c))" "$tests" "$code"
fi
exit $status

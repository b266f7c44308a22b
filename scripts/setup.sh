#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, only when one is
# missing. Sourced or run by test.sh, run.sh and bench.sh; package names given as arguments are
# installed as well (scripts/sfml3.sh adds SFML's own build needs, sanitize.sh and fuzz.sh clang).
set -euo pipefail

JOY_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
    libsfml-dev libx11-dev libbenchmark-dev
    xvfb xauth fonts-dejavu-core
    dpkg-dev
    umockdev libumockdev-dev
)
JOY_PACKAGES+=("$@")

missing=()
for pkg in "${JOY_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if ((${#missing[@]})); then
    echo "Installing missing packages: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

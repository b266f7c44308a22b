#!/usr/bin/env bash
# Builds, then makes the Debian packages with CPack: "joyrelay" (the plugin in the host's plugin
# folder and the host-interface headers) and "joyrelay-host" (the stand-in host with its catalog
# and demo files). scripts/package.sh [OUT_DIR]; default folder: build/packages.
# Install with: apt-get install ./joyrelay_*.deb ./joyrelay-host_*.deb
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
out="$(realpath -m "${1:-$build/packages}")"
mkdir -p "$out"
(cd "$build" && cpack --config CPackConfig.cmake -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; exit 1; }
rm -rf "$out/_CPack_Packages"
ls -1 "$out"/*.deb

#!/usr/bin/env bash
# tst_package.sh CPACK BUILD_DIR HOST_PLUGIN_DIR: packs the build tree into the two Debian packages,
# checks their names, contents and dependencies, unpacks both into one temporary root with dpkg -x
# and runs the unpacked stand-in host without --plugin: it must find the unpacked plugin by itself
# and show a demo pad's data, which only the plugin's input runtime produces.
set -euo pipefail
cpack="$1" build="$2" plugin_dir="$3"
case "$plugin_dir" in /*) ;; *) plugin_dir="/usr/$plugin_dir" ;; esac
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$build" && "$cpack" --config CPackConfig.cmake -B "$tmp/out" >"$tmp/cpack.log" 2>&1) ||
    { cat "$tmp/cpack.log"; fail "cpack"; }
plugin_deb=("$tmp"/out/joyrelay_*.deb)
host_deb=("$tmp"/out/joyrelay-host_*.deb)
[ -f "${plugin_deb[0]}" ] && [ -f "${host_deb[0]}" ] || fail "packages missing: $(ls "$tmp/out")"

depends() { dpkg-deb -f "$1" Depends; }
for lib in libqt6widgets6 libsfml-window2.5; do
    depends "${plugin_deb[0]}" | grep -q "$lib" || fail "joyrelay does not depend on $lib: $(depends "${plugin_deb[0]}")"
done
depends "${host_deb[0]}" | grep -qE '(^|, )joyrelay \(= ' || fail "joyrelay-host does not depend on joyrelay"

root="$tmp/root"
dpkg -x "${plugin_deb[0]}" "$root"
dpkg -x "${host_deb[0]}" "$root"
for file in "$plugin_dir/libjoyrelay.so" /usr/include/joyrelay/icominterface.h \
    /usr/include/joyrelay/icominterfacemodelprovider.h /usr/include/joyrelay/comproviderevent.h \
    /usr/bin/joyrelay-host /usr/share/joyrelay-host/actioncatalog.json \
    /usr/share/joyrelay-host/demo/virtual-pads.json; do
    [ -f "$root$file" ] || fail "$file is not in the packages"
done

# The installed headers are enough for a host to build against.
if command -v pkg-config >/dev/null && pkg-config --exists Qt6Gui; then
    echo '#include <icominterfacemodelprovider.h>' |
        c++ -std=c++17 -fPIC -fsyntax-only -x c++ - -I"$root/usr/include/joyrelay" $(pkg-config --cflags Qt6Gui) ||
        fail "the installed headers do not compile on their own"
fi

share="$root/usr/share/joyrelay-host"
XDG_DATA_HOME="$tmp/data" QT_QPA_PLATFORM=offscreen "$root/usr/bin/joyrelay-host" --headless \
    --duration 2500 --scenario "$share/demo/virtual-pads.json" --seed-definitions "$share/demo/definitions" \
    >"$tmp/host.log" 2>&1 || { cat "$tmp/host.log"; fail "the unpacked host exited with an error"; }
grep -q "plugin    loaded $root$plugin_dir/libjoyrelay.so" "$tmp/host.log" ||
    { cat "$tmp/host.log"; fail "the unpacked host did not load the unpacked plugin"; }
grep -q "services  " "$tmp/host.log" || { cat "$tmp/host.log"; fail "no action catalog"; }
grep -q "data      Joyrelay Demo Pad" "$tmp/host.log" || { cat "$tmp/host.log"; fail "no data from the demo pad"; }
echo "PASS: $(basename "${plugin_deb[0]}") and $(basename "${host_deb[0]}") install and load"

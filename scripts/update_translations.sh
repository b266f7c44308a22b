#!/usr/bin/env bash
# Refreshes resources/translations/joyrelay_en.ts from the sources with lupdate (French source
# texts; English translations kept, new texts marked unfinished). Translate them with Qt Linguist
# (linguist resources/translations/joyrelay_en.ts); the build compiles the catalog into the plugin.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
cd "$root"
/usr/lib/qt6/bin/lupdate -locations none -no-obsolete -source-language fr_FR -target-language en \
    editor calibration_ui widgets overlay registry profiles definitions calibration plugin input \
    -ts resources/translations/joyrelay_en.ts

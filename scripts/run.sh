#!/usr/bin/env bash
# Builds the setup program with its sample product into the distribution
# folder and starts it there under Wine.
#
# With a display (DISPLAY set) you drive the wizard yourself. Without one it
# runs on a virtual display and walks a first installation by itself,
# keeping a screenshot of every page; the folder is named at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build/windows
cmake --preset windows >/dev/null
cmake --build --preset windows --target morvane_dist e2e_driver
"$build/wineprefix-init.sh"

if [ -n "${DISPLAY:-}" ]; then
    cd "$build/dist"
    exec ../wine-run.sh MorvaneSetup.exe "$@"
fi

driver=$(find "$build/tests" -name e2e_driver.exe | head -n 1)
shots="$PWD/$build/artifacts/run"
echo "No display: walking a first installation on a virtual display..."
xvfb-run -a -s "-screen 0 1024x768x24" \
    sh tests/e2e/run-flow.sh "$PWD/$build/wine-run.sh" "$PWD/$driver" first \
    "$PWD/$build/dist" "$PWD/$build/run-work" "$shots"
echo "Screenshots of every page: $shots"
ls "$shots"

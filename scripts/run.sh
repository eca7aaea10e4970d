#!/usr/bin/env bash
# Builds the setup program with its sample product into the distribution
# folder and starts it there under Wine.
#
# The 32-bit build is the one we ship first and is started whenever this
# machine can execute Wine's 32-bit loader; otherwise the 64-bit build is
# (scripts/wine-arch.sh tells which the machine can run).
#
# With a display (DISPLAY set) you drive the wizard yourself. Without one it
# runs on a virtual display and walks a first installation by itself,
# keeping a screenshot of every page; the folder is named at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

preset=
for candidate in windows:x86 windows-x64:x64; do
    arch=${candidate#*:}
    if why=$(scripts/wine-arch.sh "$arch"); then
        preset=${candidate%:*}
        echo "Starting the $arch build ($preset): $why"
        break
    fi
    echo "Not the $arch build: $why"
done
if [ -z "$preset" ]; then
    echo "This machine can run no Windows build under Wine." >&2
    exit 1
fi

build=build/$preset
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target morvane_dist e2e_driver
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

#!/usr/bin/env bash
# Builds everything and runs every test: the pure units natively with
# sanitizers, the parsers' fuzz targets for a bounded time, and the Windows
# program's tests under Wine. Exits non-zero on any failure.
#
# There are two Windows trees, 32-bit (preset "windows", what we ship first)
# and 64-bit ("windows-x64"). Both are built every time, so a compile error
# in either fails the run. Their suites run under Wine on every architecture
# this machine can execute: some kernels refuse 32-bit programs, and then
# Wine's 32-bit loader cannot start at all while the 64-bit one still runs
# 64-bit Windows programs. One line per architecture says whether its suite
# ran and, if not, why. The run fails when no Windows suite could run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# All Windows tests run on a virtual display of their own, also when the
# developer has a real one: no test window ever pops up on a desktop.
run_on_xvfb() {
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
}

cmake --workflow --preset native
cmake --workflow --preset fuzz

presets=(windows windows-x64)
declare -A arch=([windows]=x86 [windows-x64]=x64)
for preset in "${presets[@]}"; do
    cmake --preset "$preset"
    cmake --build --preset "$preset"
done

declare -A verdict
ran=0 failed=0
for preset in "${presets[@]}"; do
    if why=$(scripts/wine-arch.sh "${arch[$preset]}" 2>&1); then
        echo "== Windows ${arch[$preset]} suite ($preset): running under $why"
        ran=$((ran + 1))
        if run_on_xvfb ctest --preset "$preset"; then
            verdict[$preset]="ran, passed"
        else
            verdict[$preset]="ran, FAILED"
            failed=$((failed + 1))
        fi
    else
        verdict[$preset]="NOT run: $why"
    fi
done

echo
for preset in "${presets[@]}"; do
    echo "Windows ${arch[$preset]} suite ($preset): ${verdict[$preset]}"
done
if [ "$ran" -eq 0 ]; then
    echo "No Windows suite could run: this machine executes neither Wine loader." >&2
    exit 1
fi
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# Builds everything and runs every test: the pure units natively with
# sanitizers, the parsers' fuzz targets for a bounded time, and the Windows
# program's tests under Wine. Exits non-zero on any failure.
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
run_on_xvfb cmake --workflow --preset windows

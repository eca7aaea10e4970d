#!/bin/sh
# The restart flow: a file held during a repair waits beside it; Windows
# restarts (the Wine server ends every process of the prefix, and wineboot
# carries out the renames that were put off until then); the file is new.
#
#   restart-flow.sh <wine-run.sh> <e2e_driver.exe> <dist folder> <work folder> <artifact folder>
set -u
wine_run=$1 driver=$2 dist=$3 work=$4 artifacts=$5

rm -rf "$work" "$artifacts"
mkdir -p "$work/shots" "$artifacts"
XDG_DATA_HOME="$work/xdg-data"
export XDG_DATA_HOME

"$wine_run" "$driver" restart-before "$dist" "$work/run" "$work/shots"
status=$?
if [ "$status" -eq 0 ]; then
    prefix=$(sed -n 's/^export WINEPREFIX="\${MORVANE_WINEPREFIX:-\(.*\)}"$/\1/p' "$wine_run")
    for server in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver32; do
        WINEPREFIX="$prefix" "$server" -k 2>/dev/null && WINEPREFIX="$prefix" "$server" -w 2>/dev/null && break
    done
    "$wine_run" wineboot.exe -r
    "$wine_run" "$driver" restart-after "$dist" "$work/run" "$work/shots"
    status=$?
fi
if [ "$status" -eq 0 ]; then
    rm -rf "$work"
else
    echo "work folder kept: $work" >&2
fi
exit "$status"

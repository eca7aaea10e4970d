#!/bin/sh
# Runs one end-to-end flow of the installer under Wine and keeps the
# screenshots of its pages as PNG files.
#
#   run-flow.sh <wine-run.sh> <e2e_driver.exe> <flow> <dist folder> <work folder> <artifact folder>
#
# The work folder is the flow's own: the copies of the distribution folder,
# the installation folder and the trash of recycled folders live there. It is
# removed after a pass and kept after a failure, for a look at install.log.
set -u
wine_run=$1 driver=$2 flow=$3 dist=$4 work=$5 artifacts=$6

rm -rf "$work" "$artifacts"
mkdir -p "$work/shots" "$artifacts"
# Whatever the installer recycles lands in this flow's trash, not the user's.
XDG_DATA_HOME="$work/xdg-data"
export XDG_DATA_HOME

"$wine_run" "$driver" "$flow" "$dist" "$work/run" "$work/shots"
status=$?

for bmp in "$work"/shots/*.bmp; do
    [ -e "$bmp" ] || continue
    name=$(basename "$bmp" .bmp)
    if ! convert "$bmp" "$artifacts/$name.png"; then
        echo "cannot convert $bmp to PNG" >&2
        status=1
    fi
done
if [ "$status" -eq 0 ]; then
    rm -rf "$work"
else
    echo "screenshots: $artifacts; work folder kept: $work" >&2
fi
exit "$status"

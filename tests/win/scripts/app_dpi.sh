#!/bin/sh
# Runs the DPI probe with the Wine prefix set to a given DPI, puts the DPI
# back afterwards, and converts the probe's screenshots to PNG.
#
#   app_dpi.sh <wine-run.sh> <dpi_probe.exe> <MorvaneSetup.exe> <dpi> <width> <height> <shots>
set -u
wine_run=$1 probe=$2 setup=$3 dpi=$4 width=$5 height=$6 shots=$7
rm -rf "$shots"
mkdir -p "$shots"
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
key='HKCU\Control Panel\Desktop'
restore() { "$wine_run" reg delete "$key" /v LogPixels /f >/dev/null 2>&1; }
trap restore EXIT
"$wine_run" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
"$wine_run" "$probe" "$(winpath "$setup")" "$width" "$height" "$(winpath "$shots")"
status=$?
for bmp in "$shots"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "screenshots at $dpi DPI: $shots"
exit $status

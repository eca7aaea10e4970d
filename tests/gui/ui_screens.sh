#!/bin/sh
# Screenshots of the wizard control's pages under a virtual X display.
# Usage: ui_screens.sh <wine-run.sh> <ui_demo.exe> <output folder>
set -e
run="$1"; demo="$2"; out="$3"
mkdir -p "$out"
xvfb-run -a -s "-screen 0 800x600x24" sh -c '
    run="$1"; demo="$2"; out="$3"
    for page in 0 1 2; do
        "$run" "$demo" $page 12 &
        pid=$!
        sleep 8
        import -window root "$out/page$page.png"
        wait $pid
    done
' sh "$run" "$demo" "$out"
for page in 0 1 2; do
    test -s "$out/page$page.png"
done

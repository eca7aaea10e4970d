#!/bin/sh
# Screenshots of the wizard control's pages.
# Usage: ui_screens.sh <wine-run.sh> <ui_demo.exe> <output folder>
#
# They are taken on the display the other tests use: Wine's desktop belongs
# to the whole prefix, and a display of its own here would become the screen
# every later program of the prefix sees. Without a display, one is made.
set -e
run="$1"; demo="$2"; out="$3"
mkdir -p "$out"
shoot='
    run="$1"; demo="$2"; out="$3"
    for page in 0 1 2; do
        "$run" "$demo" $page 12 &
        pid=$!
        sleep 8
        import -window root "$out/page$page.png"
        wait $pid
    done
'
if [ -n "${DISPLAY:-}" ]; then
    sh -c "$shoot" sh "$run" "$demo" "$out"
else
    xvfb-run -a -s "-screen 0 1280x1024x24" sh -c "$shoot" sh "$run" "$demo" "$out"
fi
for page in 0 1 2; do
    test -s "$out/page$page.png"
done

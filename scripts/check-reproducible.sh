#!/usr/bin/env bash
# Builds one Windows tree twice, from two copies of the last commit in two
# different folders, and compares what it ships byte for byte: the
# distribution folder and the zip. Prints what differs; exits non-zero when
# anything does. Signed files are compared also with their signatures
# removed (an auditor has no key to sign with).
#
#   scripts/check-reproducible.sh [windows|windows-x64]   (default: both)
#
# Extra configure arguments come from MORVANE_REPRO_CMAKE_ARGS, e.g. a
# certificate to sign with: -DMORVANE_SIGN_PFX=<certificate.pfx> (and its
# password in MORVANE_SIGN_PASSWORD, as for any signed build).
#
# Not part of the test command: it builds everything twice.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(windows windows-x64)

work=$(mktemp -d "${TMPDIR:-/tmp}/morvane-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The same commit in two folders of different names and depths.
for copy in a "b/deeper"; do
    mkdir -p "$work/$copy"
    git archive HEAD | tar -x -C "$work/$copy"
done
epoch=$(git log -1 --format=%ct)

differ=0
for preset in "${presets[@]}"; do
    for copy in a "b/deeper"; do
        echo "== building $preset in $work/$copy"
        (cd "$work/$copy" && SOURCE_DATE_EPOCH=$epoch cmake --preset "$preset" -B "$work/$copy/out-$preset" ${MORVANE_REPRO_CMAKE_ARGS:-} >/dev/null &&
            cmake --build "$work/$copy/out-$preset" -j2 --target morvane_zip >/dev/null)
    done
    one=$work/a/out-$preset two=$work/b/deeper/out-$preset
    shipped=$(cd "$one" && ls dist/* MorvaneSetup-*.zip)
    for file in $shipped; do
        if cmp -s "$one/$file" "$two/$file"; then
            echo "same:    $preset/$file"
        else
            echo "DIFFERS: $preset/$file ($(cmp "$one/$file" "$two/$file" | head -1))"
            differ=1
        fi
        if command -v osslsigncode >/dev/null &&
            osslsigncode remove-signature -in "$one/$file" -out "$work/1.bare" >/dev/null 2>&1 &&
            osslsigncode remove-signature -in "$two/$file" -out "$work/2.bare" >/dev/null 2>&1; then
            cmp -s "$work/1.bare" "$work/2.bare" && echo "same without its signature: $preset/$file" ||
                { echo "DIFFERS without its signature: $preset/$file"; differ=1; }
            rm -f "$work/1.bare" "$work/2.bare"
        fi
    done
done
[ "$differ" -eq 0 ] && echo "no difference" || echo "differences found" >&2
exit "$differ"

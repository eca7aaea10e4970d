#!/bin/sh
# Runs the folder-safety tests with a private trash and an installation
# folder holding a Unix link that leads out of it (Wine cannot make Windows
# links), and cleans both up.
# Usage: foldersafety_links.sh <wine-run.sh> <test.exe>
set -e
Work=$(mktemp -d "${TMPDIR:-/tmp}/morvane-safety.XXXXXX")
trap 'rm -rf "$Work"' EXIT
F="$Work/fixture"
mkdir -p "$F/outside" "$F/tree" "$Work/xdg/Trash"
echo product >"$F/outside/VCDemo.exe"
echo own >"$F/tree/own.txt"
ln -s "$F/outside" "$F/tree/Demos"
MORVANE_LINK_FIXTURE="$F" XDG_DATA_HOME="$Work/xdg" "$1" "$2"

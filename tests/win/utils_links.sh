#!/bin/sh
# Runs the file-function tests with a fresh trash and a folder of Unix
# symbolic links (Wine cannot create Windows links), and cleans both up.
# Usage: utils_links.sh <wine-run.sh> <test.exe>
set -e
Work=$(mktemp -d "${TMPDIR:-/tmp}/morvane-links.XXXXXX")
trap 'rm -rf "$Work"' EXIT
F="$Work/fixture"
mkdir -p "$F/outside/sub" "$F/tree/sub" "$Work/xdg"
echo keep >"$F/outside/keep.txt"
echo deep >"$F/outside/sub/deep.txt"
echo file >"$F/tree/file.txt"
ln -s "$F/outside" "$F/tree/dirlink"
ln -s "$F/outside/sub" "$F/tree/sub/deeplink"
ln -s "$F/outside/keep.txt" "$F/tree/filelink"
ln -s "$F/nowhere" "$F/tree/dangling"
ln -s "$F/outside" "$F/toplink"
MORVANE_LINK_FIXTURE="$F" XDG_DATA_HOME="$Work/xdg" "$1" "$2"

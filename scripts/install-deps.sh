#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, if anything is
# missing. Runs apt as root, or through sudo.
set -euo pipefail

packages=(
    cmake g++ make clang libclang-rt-14-dev googletest zlib1g-dev
    mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
    wine wine64 wine32:i386 xvfb xauth imagemagick nsis zip unzip python3 tar
    osslsigncode openssl
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
fi
# A mirror in the middle of a sync serves an index that fails its check,
# and apt-get update then fails as a whole. Try again after a pause; if one
# index still fails, go on with the others: the install below fails by
# itself if a package cannot be had.
for attempt in 1 2 3; do
    as_root apt-get update -q && break
    echo "apt-get update failed (attempt $attempt of 3)" >&2
    [ "$attempt" -eq 3 ] || sleep 15
done

install() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}
if install "${missing[@]}"; then
    exit 0
fi
# The 32-bit packages (Wine's 32-bit part) need the i386 index at the same
# version as the 64-bit one; when that index could not be had, the rest
# still builds everything and runs the 64-bit programs. The tests then say
# that the 32-bit ones were not run, and why.
rest=() left=()
for p in "${missing[@]}"; do
    if [[ "$p" == *:i386 ]]; then left+=("$p"); else rest+=("$p"); fi
done
[ ${#left[@]} -gt 0 ] || exit 1
echo "Installing without ${left[*]}: 32-bit Windows programs will not run here" >&2
install "${rest[@]}"

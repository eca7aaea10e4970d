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
as_root apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"

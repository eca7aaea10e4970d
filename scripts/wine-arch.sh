#!/usr/bin/env bash
# Says whether this machine can run Windows programs of one architecture
# under Wine: wine-arch.sh x86|x64. Exit 0 and the loader's path when it
# can; exit 1 and the reason when it cannot.
#
# Wine runs 32-bit Windows programs only through its 32-bit loader, a 32-bit
# Linux program, which some kernels refuse to execute ("Exec format error");
# 64-bit Windows programs need only the 64-bit loader.
set -uo pipefail
case "${1:-}" in
x86) loader=/usr/lib/wine/wine kind="32-bit" ;;
x64) loader=/usr/lib/wine/wine64 kind="64-bit" ;;
*) echo "usage: wine-arch.sh x86|x64" >&2; exit 2 ;;
esac
if [ ! -x "$loader" ]; then
    echo "Wine's $kind loader $loader is not installed"
    exit 1
fi
if ! out=$("$loader" --version 2>&1); then
    echo "this machine cannot execute Wine's $kind loader $loader (${out:-no output})"
    exit 1
fi
echo "$loader ($out)"

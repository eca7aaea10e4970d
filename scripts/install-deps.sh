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

# Seen here: the security index for i386 keeps failing its check while the
# amd64 one loads. The 32-bit libraries are then one update behind the
# 64-bit ones apt would install, and a library of both architectures must
# have one version. So take the 32-bit ones as the i386 index has them, and
# their 64-bit twins at that same version (on a machine that had the
# twins, mostly an upgrade; apt removes the -dev packages that pinned the
# older ones, none of which the build uses).
matched() {
    local closure
    mapfile -t closure < <(apt-cache depends --recurse --no-recommends --no-suggests \
        --no-conflicts --no-breaks --no-replaces --no-enhances "$@" 2>/dev/null |
        grep -v '^ ' | grep ':i386$' | sort -u)
    [ ${#closure[@]} -gt 0 ] || return 0
    # Each apt-cache call reads the whole cache: one call for all versions,
    # one for all records, one dpkg-query for what is installed.
    local versions records
    versions=$(apt-cache policy "${closure[@]}" | awk '/^[^ ]/ {sub(/:$/, ""); p = $0}
        /^  Candidate:/ && $2 != "(none)" {print p "=" $2}')
    [ -n "$versions" ] || return 0
    # shellcheck disable=SC2086
    records=$(apt-cache show $versions 2>/dev/null || true)
    { dpkg-query -W -f='I ${Package}:${Architecture} ${Status} ${Version}\n' 2>/dev/null
      echo "$versions" | sed 's/^/V /'
      echo "$records" | sed 's/^/R /'; } | awk '
        $1 == "I" && $4 == "ok" && $5 == "installed" {
            inst[$2] = $6; split($2, q, ":"); any[q[1]] = 1; next }
        $1 == "V" { split($2, q, "="); want[q[1]] = q[2]; order[++n] = q[1]; next }
        $1 == "R" && $2 == "Package:" { pkg = $3; next }
        $1 == "R" && $2 == "Architecture:" && $3 == "i386" { cur = pkg ":i386"; next }
        $1 == "R" && $2 == "Architecture:" { cur = ""; next }
        $1 == "R" && $2 == "Multi-Arch:" && cur != "" { ma[cur] = $3; next }
        $1 == "R" && $2 == "Conflicts:" && cur != "" {
            line = substr($0, index($0, "Conflicts:") + 11); conf[cur] = line; next }
        END {
            for (i = 1; i <= n; i++) {
                p = order[i]; split(p, q, ":"); twin = q[1] ":amd64"
                # A 64-bit program (tar, dpkg) stays as it is: only shared
                # libraries are installed for both architectures.
                if (twin in inst && ma[p] != "same") continue
                # Nor one that stands in for an installed package
                # (libelogind0 for libsystemd0): the recursion also follows
                # alternatives.
                skip = 0; m = split(conf[p], c, ",")
                for (j = 1; j <= m; j++) { split(c[j], w, " "); sub(/:.*/, "", w[1]); if (w[1] in any) skip = 1 }
                if (skip) continue
                print p "=" want[p]
                # The twin too, whether it is installed or comes with the
                # 64-bit packages: otherwise apt picks the newer one.
                if (ma[p] == "same" && inst[twin] != want[p]) print twin "=" want[p]
            }
        }'
}
mapfile -t pinned < <(matched "${left[@]}")
if [ ${#pinned[@]} -gt 0 ] && install --allow-downgrades "${rest[@]}" "${pinned[@]}"; then
    echo "Installed ${left[*]} at the versions of the i386 index" >&2
    exit 0
fi
echo "Installing without ${left[*]}: 32-bit Windows programs will not run here" >&2
install "${rest[@]}"

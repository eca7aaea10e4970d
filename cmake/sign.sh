#!/bin/sh
# Signs a Windows program or DLL in place with Authenticode (SHA-256):
#     sign.sh <certificate.pfx> <file> <description> <url> [<time-stamping url>]
# The certificate's password is read from MORVANE_SIGN_PASSWORD (empty for a
# certificate without one) and handed to osslsigncode on its standard input,
# so it is never on a command line, in a file or in a build log.
# A file that is signed already gets its signature replaced, not a second one.
set -eu

if [ $# -lt 4 ] || [ $# -gt 5 ]; then
    echo "usage: $0 <certificate.pfx> <file> <description> <url> [<time-stamping url>]" >&2
    exit 2
fi
pfx=$1 file=$2 description=$3 url=$4 timestamp=${5:-}
if [ -z "${MORVANE_SIGN_PASSWORD+set}" ]; then
    echo "$0: MORVANE_SIGN_PASSWORD is not set (the password of $pfx)" >&2
    exit 1
fi

# osslsigncode writes a new file and will not overwrite one; the signed file
# replaces the original in one rename, so a failure leaves the original whole.
scratch=$(mktemp -d "$file.signing.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# The password travels through a pipe: Debian 12's osslsigncode (2.5) takes
# no "-" for standard input but does read /dev/stdin. An empty password
# cannot come that way (it reads as a failure), and needs no hiding.
if [ -n "$MORVANE_SIGN_PASSWORD" ]; then
    set -- -readpass /dev/stdin
else
    set -- -pass ""
fi
set -- "$@" -pkcs12 "$pfx" -h sha256 -n "$description" -i "$url"
# A fixed signing time (the commit's) makes the signature reproducible.
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    set -- "$@" -time "$SOURCE_DATE_EPOCH"
fi
if [ -n "$timestamp" ]; then
    set -- "$@" -ts "$timestamp"
fi
printf '%s' "$MORVANE_SIGN_PASSWORD" |
    osslsigncode sign "$@" -in "$file" -out "$scratch/signed" >/dev/null
chmod --reference="$file" "$scratch/signed"
mv -f "$scratch/signed" "$file"

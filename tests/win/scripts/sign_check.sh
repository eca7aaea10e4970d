#!/bin/sh
# Signs copies of the shipped programs with the build's signing script and a
# throw-away code-signing certificate, then asks osslsigncode to verify each:
# the signed copy verifies, with one SHA-256 signature; a copy changed after
# signing and a copy whose signature was removed do not; a wrong password
# signs nothing; with a fixed signing time (SOURCE_DATE_EPOCH, as the build
# sets it) the same bytes signed twice are the same file.
# Usage: sign_check.sh <sign.sh> <file>...
set -eu
sign=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/morvane-sign.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

MORVANE_SIGN_PASSWORD=$(openssl rand -hex 16)
export MORVANE_SIGN_PASSWORD
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Morvane Throw-away Signer" \
    -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature \
    -keyout key.pem -out cert.pem 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.pfx \
    -passout env:MORVANE_SIGN_PASSWORD

status=0
fail() {
    echo "FAIL: $1" >&2
    [ ! -f "${2-}.log" ] || cat "$2.log" >&2
    status=1
}
sign() { sh "$sign" cert.pfx "$1" "Morvane test" "https://morvane.test/"; }
# Every byte before the signature counts in the file's digest.
change_byte() {
    b=$(od -An -tu1 -j1100 -N1 "$1" | tr -d ' ')
    printf '%b' "\\0$(printf %03o $(((b + 1) % 256)))" | dd of="$1" bs=1 seek=1100 conv=notrunc status=none
}

for file in "$@"; do
    name=$(basename "$file")
    cp "$file" "$name"
    sign "$name"
    cp "$name" "changed-$name"
    change_byte "changed-$name"
    osslsigncode remove-signature -in "$name" -out "unsigned-$name" >/dev/null 2>&1 ||
        fail "$name: no signature to remove"
    for row in "ok $name" "Failed changed-$name" "Failed unsigned-$name"; do
        expected=${row%% *} copy=${row#* }
        result=ok
        osslsigncode verify -CAfile cert.pem -in "$copy" >"$copy.log" 2>&1 || result=Failed
        echo "$copy: verify $result"
        [ "$result" = "$expected" ] || fail "$copy: verify says $result, expected $expected" "$copy"
    done
    grep -q "^Message digest algorithm  : SHA256" "$name.log" || fail "$name: not a SHA-256 digest" "$name"
    grep -q "^Number of verified signatures: 1$" "$name.log" || fail "$name: not one signature" "$name"
done

cp "$file" again-1 && cp "$file" again-2
SOURCE_DATE_EPOCH=1700000000 sign again-1
sleep 1
SOURCE_DATE_EPOCH=1700000000 sign again-2
cmp -s again-1 again-2 || fail "the same file signed twice at the same time differs"

cp "$name" wrong-password
if MORVANE_SIGN_PASSWORD=wrong sign wrong-password 2>/dev/null; then
    fail "signed with a wrong password" wrong-password
fi
cmp -s "$name" wrong-password || fail "a failed signing changed the file" wrong-password
exit $status

#!/bin/sh
# The archive packer makes the same data.arc (and zip) of the same product
# tree however its copy came to be: other times, other permission bits,
# another folder, files created in another order.
#   reproducible_check.sh <python3> <repro_archive.py> <product tree>
set -eu
python=$1 pack=$2 tree=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/morvane-pack.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/one" "$work/two/deeper"
cp -R "$tree/." "$work/one/"
# The second copy file by file in reverse order, with other times and modes.
(cd "$tree" && find . -type d) | sort -r | while read -r d; do mkdir -p "$work/two/deeper/$d"; done
(cd "$tree" && find . -type f) | sort -r | while read -r f; do
    cp "$tree/$f" "$work/two/deeper/$f"
    chmod 600 "$work/two/deeper/$f"
    touch -d "2001-02-03 04:05:06" "$work/two/deeper/$f"
done
status=0
for kind in tgz zip; do
    names=$(cd "$work/one" && ls)
    # shellcheck disable=SC2086
    "$python" "$pack" $kind "$work/one.$kind" 1700000000 "$work/one" $names
    # shellcheck disable=SC2086
    "$python" "$pack" $kind "$work/two.$kind" 1700000000 "$work/two/deeper" $names
    if cmp -s "$work/one.$kind" "$work/two.$kind"; then
        echo "$kind: the same file"
    else
        echo "FAIL: $kind: the two archives differ" >&2
        status=1
    fi
done
exit $status

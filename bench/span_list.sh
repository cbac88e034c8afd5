#!/usr/bin/env bash
# A 20 000-member set listed from its last part vs the unsplit archive, timed
# in one run (`kelpzip list --tsv` both; target ratio <= 2). Spanning and
# joining are timed by bench/span_join.sh.
# Usage: bench/span_list.sh [ROUNDS]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
rounds="${1:-3}"
kelpzip=build/bin/kelpzip
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_archive() {
    python3 - "$1" "$2" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(int(sys.argv[2])):
        z.writestr("folder%03d/member%06d.txt" % (i % 500, i), ("member %d\n" % i) * 20)
PY
}
# Spans $1 into parts named after $2 (replacing earlier ones); prints the last part.
last_part() {
    rm -f "${2%.zip}"[0-9][0-9][0-9].zip
    "$kelpzip" span "$1" "$2" --volume-size 1048576 | tail -1
}

make_archive "$work/list.zip" 20000
list_last=$(last_part "$work/list.zip" "$work/lset.zip")
listed=$("$kelpzip" list --tsv "$list_last" | wc -l)
list_set=$(best "$rounds" "$kelpzip" list --tsv "$list_last")
list_plain=$(best "$rounds" "$kelpzip" list --tsv "$work/list.zip")

echo "list: $listed members from the last of $(ls "$work"/lset*.zip | wc -l) parts"
echo "  kelpzip list, set:             ${list_set}s"
echo "  kelpzip list, unsplit:         ${list_plain}s"
python3 -c "print('  ratio set/unsplit:             %.2f (target <= 2)' % ($list_set / $list_plain))"

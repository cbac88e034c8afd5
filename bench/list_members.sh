#!/usr/bin/env bash
# Lists a 100 000-member archive with `kelpzip list --tsv` and with `unzip -l`
# in the same run and prints the time ratio and Kelp's peak memory.
# Usage: bench/list_members.sh [MEMBERS] [ROUNDS]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
members="${1:-100000}"
rounds="${2:-5}"
kelpzip=build/bin/kelpzip
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/many.zip" "$members" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for i in range(int(sys.argv[2])):
        z.writestr("folder%03d/member%06d.txt" % (i % 500, i), "member %d\n" % i)
PY


kelp=$(best "$rounds" "$kelpzip" list --tsv "$work/many.zip")
peer=$(best "$rounds" unzip -l "$work/many.zip")
peak_kb=$( { /usr/bin/time -f '%M' "$kelpzip" list --tsv "$work/many.zip" > /dev/null; } 2>&1 | tail -1)
lines=$("$kelpzip" list --tsv "$work/many.zip" | wc -l)

echo "members listed:        $lines"
echo "kelpzip list --tsv:    ${kelp}s"
echo "unzip -l:              ${peer}s"
python3 -c "print('time ratio kelp/unzip: %.3f' % ($kelp / $peer))"
echo "kelpzip peak memory:   $((peak_kb / 1024)) MiB"

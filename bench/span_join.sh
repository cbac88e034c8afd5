#!/usr/bin/env bash
# Spanning and joining a 40 000-member archive against testing it unsplit,
# timed in one run (target ratio <= 3 for each):
#  - `kelpzip span` into 1 MiB parts;
#  - `kelpzip test` on the set's last part, which joins the set into one
#    archive and tests that (the join alone is that time less the test).
# Usage: bench/span_join.sh [ROUNDS] [MEMBERS]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
rounds="${1:-3}"
members="${2:-40000}"
kelpzip=build/bin/kelpzip
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/big.zip" "$members" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(int(sys.argv[2])):
        z.writestr("folder%03d/member%06d.txt" % (i % 500, i), ("member %d\n" % i) * 20)
PY

before_round() { rm -f "$work"/set[0-9][0-9][0-9].zip; }
span=$(best "$rounds" "$kelpzip" span "$work/big.zip" "$work/set.zip" --volume-size 1048576)
before_round
unset -f before_round
last=$("$kelpzip" span "$work/big.zip" "$work/set.zip" --volume-size 1048576 | tail -1)
parts=$(ls "$work"/set[0-9][0-9][0-9].zip | wc -l)
"$kelpzip" test "$last" > /dev/null  # the joined set must test clean
test_set=$(best "$rounds" "$kelpzip" test "$last")
test_plain=$(best "$rounds" "$kelpzip" test "$work/big.zip")

echo "span and join: $members members, $parts parts"
echo "  kelpzip test, unsplit:         ${test_plain}s"
echo "  kelpzip span:                  ${span}s"
echo "  kelpzip test, set (join+test): ${test_set}s"
python3 -c "print('  join alone (set - unsplit):    %.3fs' % ($test_set - $test_plain))"
python3 -c "print('  ratio span/test unsplit:       %.2f (target <= 3)' % ($span / $test_plain))"
python3 -c "print('  ratio join+test/test unsplit:  %.2f (target <= 3)' % ($test_set / $test_plain))"

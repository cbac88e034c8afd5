#!/usr/bin/env bash
# Adds a copy of /usr/include at level 9 with kelpzip and with `zip -r -9` in
# the same run and prints the time ratio, the size ratio and kelpzip's peak memory.
# Usage: bench/add_tree.sh [ROUNDS]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
rounds="${1:-3}"
kelpzip="$PWD/build/bin/kelpzip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r /usr/include "$work/include"
cd "$work"

# Each round starts without the archive it writes.
before_round() { rm -f "$target"; }

target=kelp.zip
kelp=$(best "$rounds" "$kelpzip" add kelp.zip -r -l 9 include)
target=peer.zip
peer=$(best "$rounds" zip -qr -9 peer.zip include)
kelp_size=$(stat -c %s kelp.zip)
peer_size=$(stat -c %s peer.zip)
rm -f kelp.zip
peak_kb=$( { /usr/bin/time -f '%M' "$kelpzip" add kelp.zip -r -l 9 include > /dev/null; } 2>&1 | tail -1)
unzip -tq kelp.zip > /dev/null && echo "kelpzip's archive passes unzip -t"

echo "kelpzip add -l 9: ${kelp}s, ${kelp_size} bytes"
echo "zip -r -9:        ${peer}s, ${peer_size} bytes"
python3 -c "print('time ratio kelp/zip: %.3f   size ratio kelp/zip: %.3f' % ($kelp / $peer, $kelp_size / $peer_size))"
echo "kelpzip peak memory: $((peak_kb / 1024)) MiB"

#!/usr/bin/env bash
# AES-256: adds a copy of /usr/include with kelpzip (-e aes256) and with 7z
# (-mem=AES256) in the same run, then tests each tool's archive with kelpzip
# and with 7z, and prints the time ratios.
# Usage: bench/aes.sh [ROUNDS]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
rounds="${1:-3}"
kelpzip="$PWD/build/bin/kelpzip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r /usr/include "$work/include"
head -c 64000000 /dev/urandom > "$work/include/random.bin"
cd "$work"

before_round() { rm -f "$target"; }
target=kelp.zip
kelp_add=$(best "$rounds" "$kelpzip" add kelp.zip -r -e aes256 -p bench include)
target=peer.zip
peer_add=$(best "$rounds" 7z a -tzip -mem=AES256 -pbench peer.zip include)
unset -f before_round
kelp_test=$(best "$rounds" "$kelpzip" test peer.zip -p bench)
peer_test=$(best "$rounds" 7z t -pbench peer.zip)
7z t -pbench kelp.zip > /dev/null && echo "kelpzip's archive passes 7z t"

echo "add:  kelpzip ${kelp_add}s, 7z ${peer_add}s"
echo "test (7z's archive): kelpzip ${kelp_test}s, 7z ${peer_test}s"
python3 -c "print('time ratio kelp/7z: add %.3f  test %.3f' % ($kelp_add / $peer_add, $kelp_test / $peer_test))"

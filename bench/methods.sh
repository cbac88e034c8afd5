#!/usr/bin/env bash
# Compression methods against the peers in the same run: kelpzip test of a
# 7z Deflate64 archive against unzip -t, and kelpzip add --method bzip2 and
# lzma against 7z a -tzip with the same method; prints the time ratios.
# The input is /usr/include/linux (a few megabytes: LZMA is slow).
# Usage: bench/methods.sh [ROUNDS]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
rounds="${1:-3}"
kelpzip="$PWD/build/bin/kelpzip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp -r /usr/include/linux "$work/include"
echo "input: $(du -sh "$work/include" | cut -f1) in $(find "$work/include" -type f | wc -l) files"

(cd "$work" && 7z a -tzip -bd -mm=Deflate64 d64.zip include > /dev/null)
kelp_test=$(best "$rounds" "$kelpzip" test "$work/d64.zip")
unzip_test=$(best "$rounds" unzip -tq "$work/d64.zip")
echo "Deflate64 test: kelpzip ${kelp_test}s   unzip -tq ${unzip_test}s"
python3 -c "print('Deflate64 test ratio kelp/unzip: %.3f' % ($kelp_test / $unzip_test))"

before_round() { rm -f "$work/k.zip" "$work/p.zip"; }
for method in bzip2 lzma; do
    peer_name=$([ "$method" = bzip2 ] && echo BZip2 || echo LZMA)
    kelp_add=$(best "$rounds" sh -c "cd '$work' && '$kelpzip' add k.zip --method $method -r include")
    peer_add=$(best "$rounds" sh -c "cd '$work' && 7z a -tzip -bd -mm=$peer_name p.zip include")
    (cd "$work" && "$kelpzip" add k.zip --method "$method" -r include > /dev/null)
    echo "$method add: kelpzip ${kelp_add}s ($(stat -c %s "$work/k.zip") bytes)   7z ${peer_add}s"
    python3 -c "print('$method add ratio kelp/7z: %.3f' % ($kelp_add / $peer_add))"
done

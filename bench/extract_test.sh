#!/usr/bin/env bash
# Tests and extracts a `zip -r -9` archive of a copy of /usr/include with
# kelpzip and with unzip in the same run and prints the time ratios; then
# extracts a 1 GiB member and prints kelpzip's peak memory.
# Usage: bench/extract_test.sh [ROUNDS] [--no-big]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
rounds="${1:-3}"
kelpzip="$PWD/build/bin/kelpzip"
bench_work
(cd "$work" && zip -qr -9 include.zip include)
echo "archive: $(du -h "$work/include.zip" | cut -f1), $(unzip -Z1 "$work/include.zip" | wc -l) members; $(nproc) cores"

kelp_test=$(best "$rounds" "$kelpzip" test "$work/include.zip")
unzip_test=$(best "$rounds" unzip -tq "$work/include.zip")
# Each round extracts into a new folder of its own, and the two take turns:
# creating files right after many were deleted is slow for a while (the
# file system skips recently freed inodes), which would time the deletion
# of the round before rather than the extraction.
kelp_extract=999999
unzip_extract=999999
for round in $(seq "$rounds"); do
    mkdir "$work/kelp$round" "$work/unzip$round"
    kelp_round=$(best 1 "$kelpzip" extract "$work/include.zip" -d "$work/kelp$round")
    unzip_round=$(best 1 unzip -q "$work/include.zip" -d "$work/unzip$round")
    kelp_extract=$(python3 -c "print(min($kelp_extract, $kelp_round))")
    unzip_extract=$(python3 -c "print(min($unzip_extract, $unzip_round))")
done
if diff -r "$work/unzip1" "$work/kelp1" > /dev/null; then
    echo "kelpzip and unzip extracted identical trees"
else
    echo "TREES DIFFER"
fi
rm -rf "$work"/kelp[0-9]* "$work"/unzip[0-9]*

echo "kelpzip test:     ${kelp_test}s   unzip -tq: ${unzip_test}s"
python3 -c "print('test ratio kelp/unzip:    %.3f' % ($kelp_test / $unzip_test))"
echo "kelpzip extract:  ${kelp_extract}s   unzip -q:  ${unzip_extract}s"
python3 -c "print('extract ratio kelp/unzip: %.3f' % ($kelp_extract / $unzip_extract))"

if [ "${2:-}" != "--no-big" ]; then
    rm -rf "$work/out" "$work/include"
    mkdir "$work/big"
    # 1 GiB that compresses a little: random blocks repeated.
    head -c 1048576 /dev/urandom > "$work/block"
    for _ in $(seq 1024); do cat "$work/block"; done > "$work/big/big.bin"
    (cd "$work" && zip -q -1 big.zip big/big.bin)
    rm -f "$work/big/big.bin"
    mkdir "$work/out"
    peak_kb=$( { /usr/bin/time -f '%M' "$kelpzip" extract "$work/big.zip" -d "$work/out" > /dev/null; } 2>&1 | tail -1)
    echo "1 GiB member extracted: $(stat -c %s "$work/out/big/big.bin") bytes, kelpzip peak memory $((peak_kb / 1024)) MiB"
fi

#!/usr/bin/env bash
# kelpzip check and compare on a `zip -r -9` archive of a copy of
# /usr/include, timed in the same run as kelpzip test, unzip -tq and zipcmp
# on the same input: check within 1.2x of test; compare of the archive with
# a copy of it within 2x the time to list both.
# Usage: bench/check_compare.sh [ROUNDS]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
rounds="${1:-3}"
kelpzip="$PWD/build/bin/kelpzip"
bench_work
(cd "$work" && zip -qr -9 include.zip include && cp include.zip copy.zip)
echo "archive: $(du -h "$work/include.zip" | cut -f1), $(unzip -Z1 "$work/include.zip" | wc -l) members; $(nproc) cores"

kelp_test=$(best "$rounds" "$kelpzip" test "$work/include.zip")
kelp_check=$(best "$rounds" "$kelpzip" check "$work/include.zip")
unzip_test=$(best "$rounds" unzip -tq "$work/include.zip")
kelp_list=$(best "$rounds" "$kelpzip" list --tsv "$work/include.zip")
kelp_compare=$(best "$rounds" "$kelpzip" compare "$work/include.zip" "$work/copy.zip")
zipcmp_time=$(best "$rounds" zipcmp -q "$work/include.zip" "$work/copy.zip")
echo "check says: $("$kelpzip" check "$work/include.zip" | tail -1)  (the tree holds names that differ only in case)"

ratio() { python3 -c "print(f'{($1) / ($2):.2f}')"; }
echo "kelpzip check:   ${kelp_check}s   kelpzip test: ${kelp_test}s   check/test ratio $(ratio "$kelp_check" "$kelp_test")   (unzip -tq ${unzip_test}s, check/unzip $(ratio "$kelp_check" "$unzip_test"))"
echo "kelpzip compare: ${kelp_compare}s   two listings: $(python3 -c "print(2 * $kelp_list)")s   compare/listings ratio $(ratio "$kelp_compare" "2 * $kelp_list")   (zipcmp ${zipcmp_time}s, compare/zipcmp $(ratio "$kelp_compare" "$zipcmp_time"))"

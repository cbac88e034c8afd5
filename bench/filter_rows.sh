#!/usr/bin/env bash
# Types into the filter field of the main window (offscreen) over an archive
# of 100 000 and one of 1 000 000 members, one key at a time, and prints the
# time until the grid is painted again for each key, a pattern and the
# clearing; the peer is `grep -ci` over the same names (listed once with
# `unzip -Z1`), timed in the same run, with the ratio of the slowest key to
# it. Targets: 50 ms a key at 100 000 members, 300 ms at 1 000 000.
# Usage: bench/filter_rows.sh [MEMBERS...] [BUILD_DIR via BUILD=...]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD:-build}"
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)
cmake --build "$build" --target kelp-filter-rows-bench -j2 > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KELP_CONFIG_HOME="$work/cfg" QT_QPA_PLATFORM=offscreen
text="member0012"  # the first key keeps every row, the last a few
pattern="dir01?/*.png"

for members in "${sizes[@]}"; do
    python3 - "$work/big.zip" "$members" <<'PY'
import sys, zipfile
path, count = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
    for i in range(count):
        folder = "dir%03d/" % (i % 500)
        ext = (".txt", ".png", ".cpp", ".html", ".bin")[i % 5]
        z.writestr(folder + "Member%07d%s" % (i, ext), b"")
PY
    echo "archive: $members members, $(nproc) cores"
    out=$("$build/bin/kelp-filter-rows-bench" "$work/big.zip" "$text" "$pattern" 2> /dev/null)
    echo "$out"
    unzip -Z1 "$work/big.zip" > "$work/names"
    start=$(date +%s%N)
    found=$(grep -ci "${text:0:1}" "$work/names")
    peer=$(( ($(date +%s%N) - start) / 1000000 ))
    slowest=$(echo "$out" | sed -n 's/^slowest key: \([0-9]*\) ms/\1/p')
    echo "peer grep -ci \"${text:0:1}\" over the listed names: $peer ms, $found lines;" \
        "slowest key/peer ratio $(awk -v a="$slowest" -v b="$peer" 'BEGIN { printf "%.2f", a / (b ? b : 1) }')"
    rm -f "$work/big.zip" "$work/names"
done

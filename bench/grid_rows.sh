#!/bin/sh
# Times sorting 100 000 archive-listing rows in the sortable grid by each kind
# of column (text, date-time, numeric), and GNU sort on the same rows as the
# peer, then prints the ratio. Usage: bench/grid_rows.sh [rows] [build dir]
set -eu
rows=${1:-100000}
build=${2:-$(dirname "$0")/../build}
cmake --build "$build" --target kelp-grid-sort-bench -j2 >/dev/null
data=$(mktemp)
trap 'rm -f "$data"' EXIT
out=$(QT_QPA_PLATFORM=offscreen "$build/bin/kelp-grid-sort-bench" "$rows" "$data")
echo "$out"
peer() {  # name, sort key options
    start=$(date +%s%N)
    LC_ALL=C sort -s -t "$(printf '\t')" $2 "$data" >/dev/null
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    kelp=$(echo "$out" | awk -v k="$1" '$2 == k && $3 == "ascending" {print $(NF-1)}')
    echo "peer sort $1 ascending $rows rows: $ms ms (kelp/peer ratio: $(awk -v a="$kelp" -v b="$ms" 'BEGIN { printf "%.2f", b ? a / b : 0 }'))"
}
peer text "-k1,1"
peer date-time "-k3,3"
peer numeric "-k4,4n"

#!/usr/bin/env bash
# Opens an archive of 100 000 members (made with Python's zipfile) in the
# main window, offscreen, and prints the time until the grid is shown and the
# memory the window grew by, next to `unzip -l` and `kelpzip list` on the same
# archive, with the ratios. Targets: at most 250 ms and 80 MiB.
# Usage: bench/open_archive.sh [MEMBERS] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
members="${1:-100000}"
build="${2:-build}"
cmake --build "$build" --target kelp-window-open-bench kelpzip -j2 > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KELP_CONFIG_HOME="$work/cfg" QT_QPA_PLATFORM=offscreen

python3 - "$work/big.zip" "$members" <<'PY'
import sys, zipfile
path, count = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(count):
        folder = "dir%03d/" % (i % 500)
        ext = (".txt", ".png", ".cpp", ".html", ".bin")[i % 5]
        z.writestr(folder + "member%06d%s" % (i, ext), b"kelp %d " % i * 8)
PY
echo "archive: $(du -h "$work/big.zip" | cut -f1), $members members, $(nproc) cores"

ms_of() {  # runs a command, prints its wall time in ms
    local start=$(date +%s%N)
    "$@" > /dev/null
    echo $(( ($(date +%s%N) - start) / 1000000 ))
}
for round in 1 2 3; do
    out=$("$build/bin/kelp-window-open-bench" "$work/big.zip" 2> /dev/null)
    win=$(echo "$out" | sed -n 's/^window open: \([0-9]*\) ms.*/\1/p')
    unzip_ms=$(ms_of unzip -l "$work/big.zip")
    list_ms=$(ms_of "$build/bin/kelpzip" list "$work/big.zip")
    echo "round $round: $out"
    echo "round $round: unzip -l $unzip_ms ms, kelpzip list $list_ms ms;" \
        "window/unzip ratio $(awk -v a="$win" -v b="$unzip_ms" 'BEGIN { printf "%.2f", a / (b ? b : 1) }')," \
        "window/kelpzip ratio $(awk -v a="$win" -v b="$list_ms" 'BEGIN { printf "%.2f", a / (b ? b : 1) }')"
done

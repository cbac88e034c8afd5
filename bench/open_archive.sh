#!/usr/bin/env bash
# Opens an archive of 100 000 members (made with Python's zipfile) in the
# main window and prints the time the grid took to fill, the program's whole
# run time and peak memory, and `unzip -l` on the same archive for scale.
# Usage: bench/open_archive.sh [MEMBERS] [BUILD_DIR]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
members="${1:-100000}"
build="${2:-build}"
kelp="$PWD/$build/bin/kelp"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/big.zip" "$members" <<'PY'
import sys, zipfile
path, count = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(count):
        folder = "dir%03d/" % (i % 500)
        ext = (".txt", ".png", ".cpp", ".html", ".bin")[i % 5]
        z.writestr(folder + "member%06d%s" % (i, ext), b"kelp %d " % i * 8)
PY
echo "archive: $(du -h "$work/big.zip" | cut -f1), $members members"

# A private settings folder that already holds the install values, so the
# program does not run its first-run set-up.
mkdir -p "$work/cfg"
printf '[Kelp]\nInstDir=s:%s/data/\nVer=s:bench\naot=s:0\n' "$PWD" > "$work/cfg/settings"

for round in 1 2 3; do
    KELP_CONFIG_HOME="$work/cfg" KELP_LIST_TIME=1 QT_QPA_PLATFORM=offscreen \
        /usr/bin/time -f "  whole run %e s, peak memory %M KiB" "$kelp" "$work/big.zip" 2>&1 |
        grep -v -e XDG_RUNTIME -e propagateSizeHints | sed "s/^/round $round: /"
done

start=$(date +%s.%N)
unzip -l "$work/big.zip" > /dev/null
end=$(date +%s.%N)
python3 -c "print('unzip -l: %.3f s' % ($end - $start))"

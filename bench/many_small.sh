#!/usr/bin/env bash
# Archives of 100 000 and 1 000 000 members of a few bytes each: times and
# peak memory of `kelpzip test` against `unzip -tq` in the same run, the peak
# memory of `kelpzip extract` and `kelpzip list --tsv`, the window opening
# the million (offscreen) and the window's test action with its log against
# `kelpzip test`. Each figure is printed with its target: test at most 0.5x
# unzip's time; test and extract at most 150 bytes, list at most 100 bytes of
# peak memory per member; the window opens the million within 1 s and
# 250 MiB; the window's test at most 1.5x kelpzip test on 100 000 members.
# Usage: bench/many_small.sh [ROUNDS] [--no-extract]   (the archives are kept,
# see bench/small_members.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
source bench/small_members.sh
rounds="${1:-3}"
build=build
kelpzip="$PWD/$build/bin/kelpzip"
cmake --build "$build" --target kelpzip kelp-window-open-bench kelp-window-test-bench -j2 > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KELP_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen

# Peak resident memory of a command in KiB (its output discarded).
peak_kib() {
    /usr/bin/time -o "$work/peak" -f '%M' "$@" > /dev/null 2>&1 || true
    tail -1 "$work/peak"
}
# The peak of a command in bytes per member.
per_member() { awk -v k="$1" -v n="$2" 'BEGIN { printf "%.0f", k * 1024 / n }'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t ? "met" : "NOT met") }'; }

for n in 100000 1000000; do
    archive=$(small_archive "$n")
    echo "== $n members: $(du -h "$archive" | cut -f1), $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
    kelp_t=$(best "$rounds" "$kelpzip" test "$archive")
    unzip_t=$(best "$rounds" unzip -tq "$archive")
    ratio=$(python3 -c "print('%.2f' % ($kelp_t / $unzip_t))")
    echo "test: kelpzip ${kelp_t}s, unzip -tq ${unzip_t}s, ratio $ratio (target 0.5: $(verdict "$ratio" 0.5))"
    kelp_kib=$(peak_kib "$kelpzip" test "$archive")
    unzip_kib=$(peak_kib unzip -tq "$archive")
    bpm=$(per_member "$kelp_kib" "$n")
    echo "test peak: kelpzip $((kelp_kib / 1024)) MiB = $bpm bytes/member, unzip -tq $((unzip_kib / 1024)) MiB (target 150: $(verdict "$bpm" 150))"
    list_kib=$(peak_kib "$kelpzip" list --tsv "$archive")
    bpm=$(per_member "$list_kib" "$n")
    echo "list --tsv peak: $((list_kib / 1024)) MiB = $bpm bytes/member (target 100: $(verdict "$bpm" 100))"
    if [ "${2:-}" != "--no-extract" ]; then
        mkdir "$work/out"
        extract_kib=$(peak_kib "$kelpzip" extract "$archive" -d "$work/out")
        bpm=$(per_member "$extract_kib" "$n")
        echo "extract peak: $((extract_kib / 1024)) MiB = $bpm bytes/member (target 150: $(verdict "$bpm" 150))"
        echo "extract wrote $(find "$work/out" -type f | wc -l) files"
        rm -rf "$work/out"
    fi
done

million=$(small_archive 1000000)
open=$("$build/bin/kelp-window-open-bench" "$million" 2> /dev/null)
echo "window, 1 000 000 members: $open"
open_ms=$(echo "$open" | sed -n 's/^window open: \([0-9]*\) ms.*/\1/p')
open_peak=$(echo "$open" | sed -n 's/.*process peak \([0-9.]*\) MiB.*/\1/p')
echo "window open: ${open_ms} ms (target 1000: $(verdict "$open_ms" 1000)), process peak ${open_peak} MiB (target 250: $(verdict "$open_peak" 250))"

bench/window_test_log.sh "$build" 100000 1000000

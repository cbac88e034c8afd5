#!/usr/bin/env bash
# Tests archives of small members from the window (the test action with its
# operation log in the process viewer) and with `kelpzip test` in the same
# run, and prints the time ratio and the window's memory growth. Targets: at
# most 1.5 times the command line's time on 100 000 members; a million
# completes (its last log line is the summary).
# Usage: bench/window_test_log.sh [build dir] [member counts...]
# (the archives are kept, see bench/small_members.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
source bench/small_members.sh
build="${1:-build}"
shift || true
counts=("${@:-20000 100000}")
counts=(${counts[@]})
cmake --build "$build" --target kelp-window-test-bench kelpzip -j2 > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KELP_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen

for n in "${counts[@]}"; do
    archive=$(small_archive "$n")
    cli_s=$(best 1 "$build/bin/kelpzip" test "$archive")
    out=$("$build/bin/kelp-window-test-bench" "$archive")
    win_ms=$(echo "$out" | sed -n 's/^window test: \([0-9]*\) ms.*/\1/p')
    echo "$n members: kelpzip test ${cli_s}s; $out"
    python3 -c "r = $win_ms / 1000 / $cli_s; print('$n members: window/kelpzip ratio %.2f (target 1.5: %s)' % (r, 'met' if r <= 1.5 else 'NOT met'))"
done

#!/usr/bin/env bash
# Tests archives of 20 000 and 100 000 small members from the window (the test
# action with its operation log in the process viewer) and with `kelpzip test`
# in the same run, and prints the time ratio and the window's memory growth.
# Targets: at most 3 times the command line's time, at most 60 MiB growth.
# Usage: bench/window_test_log.sh [build dir] [member counts...]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
shift || true
counts=("${@:-20000 100000}")
counts=(${counts[@]})
cmake --build "$build" --target kelp-window-test-bench kelpzip -j2 > /dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KELP_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen

for n in "${counts[@]}"; do
    archive="$work/m$n.zip"
    python3 - "$archive" "$n" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(int(sys.argv[2])):
        z.writestr('dir%03d/member%06d.txt' % (i % 100, i), b'line %d of the member\n' % i * 8)
PY
    start=$(date +%s%N)
    "$build/bin/kelpzip" test "$archive" > /dev/null
    cli_ms=$(( ($(date +%s%N) - start) / 1000000 ))
    out=$("$build/bin/kelp-window-test-bench" "$archive")
    win_ms=$(echo "$out" | sed -n 's/^window test: \([0-9]*\) ms.*/\1/p')
    echo "$n members: kelpzip test ${cli_ms} ms; $out"
    python3 -c "print('$n members: window/kelpzip ratio %.2f' % ($win_ms / max($cli_ms, 1)))"
done

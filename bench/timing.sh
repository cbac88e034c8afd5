# Shared by the benchmark scripts: `bench_work` makes the run's scratch
# folder $work (removed at exit) with a copy of /usr/include in it, the tree
# most of them read; `best ROUNDS COMMAND...` prints the best
# wall time in seconds of several runs of COMMAND (its output discarded), and
# runs `before_round` first when the caller defines it.
best() {
    local rounds="$1"
    shift
    local best_time=999999
    for _ in $(seq "$rounds"); do
        if declare -F before_round > /dev/null; then before_round; fi
        local start end
        start=$(date +%s.%N)
        "$@" > /dev/null
        end=$(date +%s.%N)
        best_time=$(python3 -c "print(min($best_time, $end - $start))")
    done
    echo "$best_time"
}

bench_work() {
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cp -r /usr/include "$work/include"
}

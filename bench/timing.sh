# Shared by the benchmark scripts: `best ROUNDS COMMAND...` prints the best
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

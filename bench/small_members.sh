# Shared by the benchmarks of many small members: `small_archive N` prints the
# path of an archive of N members of a few bytes each, deflated, in 1000
# folders, made with Python's zipfile once and kept in the scratch folder
# ($KELP_BENCH_SCRATCH, default $TMPDIR/kelp-bench) for later runs.
small_archive() {
    local count="$1"
    local scratch="${KELP_BENCH_SCRATCH:-${TMPDIR:-/tmp}/kelp-bench}"
    local path="$scratch/small-$count.zip"
    mkdir -p "$scratch"
    if [ ! -s "$path" ]; then
        python3 - "$path.part" "$count" <<'PY'
import sys, zipfile
path, count = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    for i in range(count):
        z.writestr("d%03d/f%07d.txt" % (i % 1000, i), b"%d\n" % i)
PY
        mv "$path.part" "$path"
    fi
    echo "$path"
}

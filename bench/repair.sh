#!/usr/bin/env bash
# kelpzip repair against zip -FF on the same damaged archive, in one run: a
# `zip -r -6` archive of a copy of /usr/include (and a large member of
# random bytes), cut off inside the central directory. Prints both times,
# the ratio and how many members each recovered.
# Usage: bench/repair.sh [ROUNDS]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
rounds="${1:-3}"
kelpzip="$PWD/build/bin/kelpzip"
bench_work
head -c 100000000 /dev/urandom > "$work/include/random.bin"
(cd "$work" && zip -qr -6 whole.zip include)
size=$(stat -c %s "$work/whole.zip")
central=$(python3 -c "
import struct,sys; d=open(sys.argv[1],'rb').read(); e=d.rfind(b'PK\x05\x06')
print(struct.unpack('<I', d[e+16:e+20])[0])" "$work/whole.zip")
head -c $(( central + (size - central) / 2 )) "$work/whole.zip" > "$work/broken.zip"
echo "archive: $(du -h "$work/broken.zip" | cut -f1), $(unzip -Z1 "$work/whole.zip" | wc -l) members, cut in the central directory; $(nproc) cores"

before_round() { rm -f "$work/kelp.zip" "$work/ff.zip"; }
kelp_time=$(best "$rounds" "$kelpzip" repair "$work/broken.zip" "$work/kelp.zip")
ff_time=$(best "$rounds" sh -c "cd '$work' && yes | zip -FF broken.zip --out ff.zip")
"$kelpzip" repair "$work/broken.zip" "$work/kelp.zip" > /dev/null || true
(cd "$work" && yes | zip -FF broken.zip --out ff.zip > /dev/null 2>&1) || true
echo "kelpzip repair: ${kelp_time}s, $(unzip -Z1 "$work/kelp.zip" | wc -l) members   zip -FF: ${ff_time}s, $(unzip -Z1 "$work/ff.zip" | wc -l) members   ratio $(python3 -c "print(f'{$kelp_time / $ff_time:.2f}')")"

#!/usr/bin/env bash
# Adds one large file (500 MB of text-like lines with some binary noise)
# with kelpzip at levels 6 and 9 and with `zip -6` / `zip -9` in the same
# run; prints times, sizes, their ratios and the core count, and checks
# kelpzip's archives with `unzip -t` and by comparing the extracted bytes.
# Usage: bench/big_member.sh [ROUNDS] [MB]   (build with scripts/build first)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/timing.sh
rounds="${1:-2}"
megabytes="${2:-500}"
kelpzip="$PWD/build/bin/kelpzip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - big.dat $((megabytes << 20)) <<'PY'
import random, sys
size = int(sys.argv[2])
rng = random.Random(7)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 10)))
         for _ in range(1000)]
noise = [rng.randbytes(4096) for _ in range(16)]
# 16 MiB of lines of words and numbers with a 4 KiB run of noise now and
# then; the file is made of pieces of it cut at random places, so that it
# compresses like text and no long stretch repeats exactly.
parts, n = [], 0
while n < (16 << 20):
    if rng.random() < 0.0005:
        p = rng.choice(noise)
    else:
        line = ' '.join(rng.choices(words, k=rng.randint(4, 14)))
        p = ('%s %d\n' % (line, rng.randint(0, 10**6))).encode()
    parts.append(p)
    n += len(p)
unit = b''.join(parts)
with open(sys.argv[1], 'wb') as out:
    written = 0
    while written < size:
        a = rng.randrange(0, len(unit) - (1 << 20))
        piece = unit[a:a + rng.randrange(1 << 19, 1 << 20)][:size - written]
        out.write(piece)
        written += len(piece)
PY
echo "input: $(stat -c %s big.dat) bytes; cores: $(nproc)"

before_round() { rm -f "$target"; }
for level in 6 9; do
    target=kelp.zip
    kelp=$(best "$rounds" "$kelpzip" add kelp.zip -l "$level" big.dat)
    target=peer.zip
    peer=$(best "$rounds" zip -q "-$level" peer.zip big.dat)
    kelp_size=$(stat -c %s kelp.zip)
    peer_size=$(stat -c %s peer.zip)
    unzip -tq kelp.zip > /dev/null && echo "level $level: kelpzip's archive passes unzip -t"
    unzip -p kelp.zip big.dat | cmp - big.dat && echo "level $level: the extracted bytes are the same"
    echo "kelpzip add -l $level: ${kelp}s, ${kelp_size} bytes"
    echo "zip -$level:           ${peer}s, ${peer_size} bytes"
    python3 -c "print('time ratio kelp/zip: %.3f   size ratio kelp/zip: %.4f' % ($kelp / $peer, $kelp_size / $peer_size))"
    rm -f kelp.zip peer.zip
done

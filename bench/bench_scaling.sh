#!/usr/bin/env bash
# Time and peak memory of a whole silent request (all 13 song patterns, N=100000) on trees of
# 50000, 200000 and 1000000 files (artist/album folders of 8 files, mixed extensions), warm
# cache, best of RUNS; prints a table with the memory per found song. Both should grow
# linearly. The trees are made once, in /tmp/mixgen-scale-<files>.
#
# Usage: bench/bench_scaling.sh [path/to/mixgen]
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
runs="${RUNS:-3}"
[[ -x "$program" ]] || { echo "no program at $program" >&2; exit 2; }

make_tree() { # files
    python3 "$here/bench/maketree.py" albums "/tmp/mixgen-scale-$1" "$1"
}

source "$here/bench/benchenv.sh"
bench_env bench-scaling all-songs

printf '%9s %9s %9s %9s %14s\n' files songs seconds "peak MiB" "bytes/song"
for files in 50000 200000 1000000; do
    make_tree "$files"
    tree="/tmp/mixgen-scale-$files"
    best_s=0 best_kb=0
    for ((i = 0; i <= runs; i++)); do # the first run warms the cache
        /usr/bin/time -f "%e %M" -o "$work/time" "$program" "/P:$tree /O:$work/mix /N:100000 /S /Y" \
            > /dev/null 2>&1
        read -r s kb < "$work/time"
        ((i == 0)) && continue
        if [[ $best_s == 0 ]] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then
            best_s=$s; best_kb=$kb
        fi
    done
    songs=$(find "$tree" -type f -regextype posix-extended \
        -iregex '.*\.(mp.|wma|wav|mod|stm|s3m|it|xm|mdz|stz|s3z|itz|xmz)$' | wc -l)
    awk -v f="$files" -v n="$songs" -v s="$best_s" -v k="$best_kb" \
        'BEGIN { printf "%9d %9d %9.2f %9.1f %14.1f\n", f, n, s, k / 1024, k * 1024 / n }'
done
echo "command: $0 $program (RUNS=$runs); bytes/song is the whole peak over the songs found"

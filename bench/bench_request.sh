#!/usr/bin/env bash
# Times a whole silent request of the program (search, pick of 100000, playlist written)
# against the shell's way to the same result, find | shuf, on the walk benchmark's tree of
# 200000 files, warm cache, best of several runs, and prints the ratio. Given a second
# program (an older build), it is timed too, for a before-and-after figure.
#
# Usage: bench/bench_request.sh [path/to/mixgen [path/to/older/mixgen]]
# The tree is made by bench/bench_walk.sh (run it once first) in $MIXGEN_BENCH_TREE.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
older="${2:-}"
tree="${MIXGEN_BENCH_TREE:-/tmp/mixgen-bench-walk-tree}"
runs="${MIXGEN_BENCH_RUNS:-5}"
[[ -x "$program" ]] || { echo "no program at $program" >&2; exit 2; }
[[ -d "$tree" ]] || { echo "no tree at $tree: run bench/bench_walk.sh first" >&2; exit 2; }

source "$here/bench/benchenv.sh"
bench_env bench-request

best_of() {
    "$@" > /dev/null 2>&1
    local best=0 start end took i
    for ((i = 0; i < runs; i++)); do
        bench_clock_us start
        "$@" > /dev/null 2>&1
        bench_clock_us end
        took=$((end - start))
        if ((best == 0 || took < best)); then best=$took; fi
    done
    echo "$best"
}

request() { "$1" "/P:$tree /O:$work/mix /N:100000 /S /Y"; }
peer() { find "$tree" -iname '*.mp?' | shuf -n 100000 > "$work/peer.m3u"; }

peer_us=$(best_of peer)
new_us=$(best_of request "$program")
echo "tree: $tree, N=100000, best of $runs warm runs"
echo "find | shuf:        ${peer_us} us ($(wc -l < "$work/peer.m3u") lines)"
echo "mixgen:             ${new_us} us ($(wc -l < "$work/mix.M3U") lines)  $program"
awk -v p="$peer_us" -v n="$new_us" 'BEGIN { printf "mixgen / find|shuf: %.3f\n", n / p }'
if [[ -n "$older" ]]; then
    old_us=$(best_of request "$older")
    echo "older mixgen:       ${old_us} us  $older"
    awk -v o="$old_us" -v n="$new_us" -v p="$peer_us" \
        'BEGIN { printf "older / find|shuf:  %.3f\nmixgen / older:     %.3f\n", o / p, n / o }'
fi

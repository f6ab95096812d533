#!/usr/bin/env bash
# A whole silent request while other programs keep every core busy, against the same request
# on a quiet machine: a change that only pays on spare cores must not make a busy machine wait
# (a thread of the idle scheduling class, say, that the end of the process then waits for).
# Busy loops, two per core, run through the loaded rounds; quiet and loaded rounds alternate.
# Prints the median times and loaded over quiet, for the program and, when given, an older
# build beside it.
#
# Usage: bench/bench_underload.sh [path/to/mixgen [path/to/older/mixgen]]
# The tree is $MIXGEN_BENCH_TREE (default /tmp/mixgen-wide, made by bench/maketree.py), every
# song pattern on, N=$N (default 1000), $RUNS rounds (default 5).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
older="${2:-}"
tree="${MIXGEN_BENCH_TREE:-/tmp/mixgen-wide}"
n="${N:-1000}"
runs="${RUNS:-5}"
[[ "$tree" == /tmp/mixgen-wide ]] && python3 "$here/bench/maketree.py" wide "$tree"
programs=("$program" ${older:+"$older"})
for p in "${programs[@]}"; do
    [[ -x "$p" ]] || { echo "no program at $p" >&2; exit 2; }
done
[[ -d "$tree" ]] || { echo "no tree at $tree" >&2; exit 2; }

source "$here/bench/benchenv.sh"
bench_env bench-underload all-songs

busy=()
stop_busy() {
    ((${#busy[@]} == 0)) || kill "${busy[@]}" 2> /dev/null || true
    wait "${busy[@]}" 2> /dev/null || true
    busy=()
}
start_busy() {
    for ((i = 0; i < 2 * $(nproc); i++)); do
        (while :; do :; done) &
        busy+=($!)
    done
    sleep 0.2 # the loops have the cores before the request starts
}
trap 'stop_busy; rm -rf "$work"' EXIT

# Microseconds of one silent request of program $1.
took() {
    local start end
    bench_clock_us start
    "$1" "/P:$tree /O:$work/mix.m3u /N:$n /S /Y" > /dev/null 2>&1
    bench_clock_us end
    echo $((end - start))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A times
"$program" "/P:$tree /O:$work/mix.m3u /N:$n /S /Y" > /dev/null 2>&1 # warm-up
for ((round = 0; round < runs; round++)); do
    for p in "${programs[@]}"; do times[$p quiet]+="$(took "$p") "; done
    start_busy
    for p in "${programs[@]}"; do times[$p loaded]+="$(took "$p") "; done
    stop_busy
done

echo "tree: $tree, N=$n, medians of $runs rounds, loaded: $((2 * $(nproc))) busy loops"
for p in "${programs[@]}"; do
    quiet=$(tr ' ' '\n' <<< "${times[$p quiet]}" | grep . | median)
    loaded=$(tr ' ' '\n' <<< "${times[$p loaded]}" | grep . | median)
    printf '%-50s quiet %8d us   loaded %9d us   loaded/quiet %.2f\n' "$p" "$quiet" "$loaded" \
        "$(awk -v a="$loaded" -v b="$quiet" 'BEGIN { print a / b }')"
done
echo "command: bench/bench_underload.sh $* (RUNS=$runs N=$n)"

#!/usr/bin/env bash
# What a whole silent request costs the program itself, apart from the interpreter's walk:
# the CPU time of the program's own process (not its child's), the time from the
# interpreter's exit to the playlist's rename (perf trace), the time the program adds to the
# interpreter's (from its own start to the interpreter's, and from the interpreter's exit to
# its own: start-up, the last decode, the pick, the write; target <= 60 ms at N=1000), and the
# peak memory. Given a second program (an older build), it is measured the same way.
#
# Usage: bench/bench_owncost.sh [path/to/mixgen [path/to/older/mixgen]]
# The tree is $MIXGEN_BENCH_TREE (default /tmp/mixgen-wide, made by bench/maketree.py), every
# song pattern on, N=1000 and N=100000 (or the numbers in $NUMBERS); needs perf.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
older="${2:-}"
tree="${MIXGEN_BENCH_TREE:-/tmp/mixgen-wide}"
numbers="${NUMBERS:-1000 100000}"
[[ "$tree" == /tmp/mixgen-wide ]] && python3 "$here/bench/maketree.py" wide "$tree"
runs="${MIXGEN_BENCH_RUNS:-5}"
[[ -x "$program" ]] || { echo "no program at $program" >&2; exit 2; }
[[ -d "$tree" ]] || { echo "no tree at $tree" >&2; exit 2; }
command -v perf > /dev/null || { echo "perf is needed" >&2; exit 2; }

source "$here/bench/benchenv.sh"
bench_env bench-owncost all-songs

request() { echo "/P:$tree /O:$work/mix.m3u /N:$n /S /Y"; }

# Milliseconds of CPU of the program's own process (all its threads, not the interpreter's):
# perf samples every 0.1 ms of CPU, and the process of the first sample is the program's.
own_cpu() {
    perf record -q -e task-clock -c 100000 -o "$work/own.data" -- "$1" "$(request)" \
        > /dev/null 2>&1
    perf script -i "$work/own.data" -F pid 2>/dev/null |
        awk 'NR == 1 { p = $1 } $1 == p { n++ } END { printf "%.1f\n", n * 0.1 }'
}
# Milliseconds from the interpreter's exit (the first process to end) to the playlist's rename.
after_exit() {
    perf trace -e exit_group,rename -- "$1" "$(request)" 2>&1 >/dev/null |
        awk '/exit_group/ && !seen { seen = 1; e = $1 } /rename\(/ && seen { print $1 - e; exit }'
}
# Milliseconds the program adds to the interpreter: from its start (perf trace's time 0) to the
# interpreter's exec, and from the interpreter's exit (the first) to its own (the last).
added() {
    perf trace -e execve,exit_group -- "$1" "$(request)" 2>&1 >/dev/null |
        awk '/mixgen-cmd\/[0-9]+ execve\(/ { s = $1 } /exit_group\(/ { x[++nx] = $1 }
             END { printf "%.1f\n", s + (x[nx] - x[1]) }'
}
peak_kib() { /usr/bin/time -f %M "$1" "$(request)" 2>&1 >/dev/null | tail -1; }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] }'; }

measure() {
    local cpu="" exit_ms="" added_ms="" i
    for ((i = 0; i < runs; i++)); do
        cpu+="$(own_cpu "$1")"$'\n'
        exit_ms+="$(after_exit "$1")"$'\n'
        added_ms+="$(added "$1")"$'\n'
    done
    printf "%-50s N=%-6s own CPU %s ms, exit to rename %s ms, added %s ms, peak %s KiB\n" \
        "$1" "$n" "$(grep . <<< "$cpu" | median)" "$(grep . <<< "$exit_ms" | median)" \
        "$(grep . <<< "$added_ms" | median)" "$(peak_kib "$1")"
}

echo "tree: $tree, median of $runs runs"
for n in $numbers; do
    measure "$program"
    [[ -n "$older" ]] && measure "$older"
done
exit 0

#!/usr/bin/env bash
# Two builds timed against each other in alternating rounds (the order swapped every round),
# and the first timed against itself the same way. On a shared machine whose speed drifts, a
# difference means something only where it stands out of the spread a build shows against
# itself. Prints the medians, the paired median of B - A with its quartiles, and the same for
# A - A.
#
# Usage: bench/bench_pair.sh path/to/A path/to/B
#   Both are the program (mixgen: whole silent requests, every song pattern on, N=$N, default
#   1000) or both its interpreter (mixgen-cmd: the song search's 13 dir lines on their own).
#   The tree is $MIXGEN_BENCH_TREE (default /tmp/mixgen-wide, made by bench/maketree.py),
#   $RUNS rounds (default 21).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
a="${1:?usage: bench/bench_pair.sh path/to/A path/to/B}"
b="${2:?usage: bench/bench_pair.sh path/to/A path/to/B}"
tree="${MIXGEN_BENCH_TREE:-/tmp/mixgen-wide}"
n="${N:-1000}"
runs="${RUNS:-21}"
[[ "$tree" == /tmp/mixgen-wide ]] && python3 "$here/bench/maketree.py" wide "$tree"
for p in "$a" "$b"; do
    [[ -x "$p" ]] || { echo "no program at $p" >&2; exit 2; }
done
[[ -d "$tree" ]] || { echo "no tree at $tree" >&2; exit 2; }

source "$here/bench/benchenv.sh"
bench_env bench-pair all-songs

interpreter=0
[[ "$(basename "$a")" == mixgen-cmd* ]] && interpreter=1
if ((interpreter)); then
    bench_song_batch "$tree" "$work/all.bat" "$work/all.lst"
fi

# Microseconds one run of program $1 takes. The interpreter's list is removed first, as the
# song search's run folder is new each time.
took() {
    local start end
    rm -f "$work/all.lst"
    bench_clock_us start
    if ((interpreter)); then
        "$1" "$work/all.bat" > /dev/null
    else
        "$1" "/P:$tree /O:$work/mix.m3u /N:$n /S /Y" > /dev/null 2>&1
    fi
    bench_clock_us end
    echo $((end - start))
}

took "$a" > /dev/null # warm-up
took "$b" > /dev/null
rounds=""
for ((i = 0; i < runs; i++)); do
    if ((i % 2)); then
        x=$(took "$a"); y=$(took "$b"); x2=$(took "$a"); y2=$(took "$a")
    else
        y=$(took "$b"); x=$(took "$a"); y2=$(took "$a"); x2=$(took "$a")
    fi
    rounds+="$x $y $x2 $y2"$'\n'
done

python3 - "$a" "$b" "$runs" <<PY
import statistics as st, sys
rows = [tuple(int(v) for v in line.split()) for line in """$rounds""".splitlines() if line]
def show(name, first, second):
    diffs = [(s - f) / 1000 for f, s in zip(first, second)]
    q1, med, q3 = st.quantiles(diffs, n=4)
    print(f"{name:7} {st.median(first) / 1000:9.1f} ms  {st.median(second) / 1000:9.1f} ms"
          f"  paired median {st.median(diffs):+7.2f} ms  (quartiles {q1:+.1f}, {q3:+.1f})")
print(f"A: {sys.argv[1]}\nB: {sys.argv[2]}\n{sys.argv[3]} alternating rounds, medians of the first, the second, and of second - first")
show("B - A", [r[0] for r in rows], [r[1] for r in rows])
show("A - A", [r[2] for r in rows], [r[3] for r in rows])
PY

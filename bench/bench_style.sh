#!/usr/bin/env bash
# What the playlist styles cost a whole silent request on a tree of a million songs, warm
# cache, best of RUNS (median too), against the plain request they would otherwise be:
#   /N:100 /X   at most 50 ms more than /N:100        (tags of 100 drawn songs)
#   /T:60       at most 100 ms more than /N:15        (an hour of songs of about 4 minutes)
#   /N:100 /B   at most 10% more than /N:100          (every song grouped by its folder)
# The tree (made once by bench/maketree.py, in /tmp/mixgen-style-1000000) holds artist/album
# folders of 8 songs, each a hard link to one of 20 small MP3 files with tags whose Xing
# header gives a length of 2.5 to 5.5 minutes, so a million songs take the disk of 20 files.
#
# Usage: bench/bench_style.sh [path/to/mixgen]   (RUNS=7 by default, FILES=1000000)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
runs="${RUNS:-7}"
files="${FILES:-1000000}"
tree="/tmp/mixgen-style-$files"
[[ -x "$program" ]] || { echo "no program at $program" >&2; exit 2; }

python3 "$here/bench/maketree.py" tagged "$tree" "$files"

source "$here/bench/benchenv.sh"
bench_env bench-style

# time_request NAME SWITCHES: the best and the median of RUNS warm runs, in ms.
declare -A best median
time_request() {
    local name=$1 switches=$2 i start end times=()
    "$program" "/P:$tree /O:$work/mix /S /Y $switches" > /dev/null 2>&1 # warms the cache
    for ((i = 0; i < runs; i++)); do
        bench_clock_us start
        "$program" "/P:$tree /O:$work/mix /S /Y $switches" > /dev/null 2>&1
        bench_clock_us end
        times+=($(((end - start) / 1000)))
    done
    best[$name]=$(printf '%s\n' "${times[@]}" | sort -n | head -1)
    median[$name]=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    printf '%-14s best %6d ms  median %6d ms  (%s lines)\n' "$name" "${best[$name]}" \
        "${median[$name]}" "$(wc -l < "$work/mix.M3U")"
}

# Interleaved pairs would be fairer on a busy machine; the medians show how steady it was.
time_request "N100" "/N:100"
time_request "N100-X" "/N:100 /X"
time_request "N15" "/N:15"
time_request "T60" "/T:60"
time_request "N100-B" "/N:100 /B"

verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b ? "ok" : "MISSED") }'; }
x=$((best[N100-X] - best[N100]))
t=$((best[T60] - best[N15]))
b=$(awk -v a="${best[N100-B]}" -v p="${best[N100]}" 'BEGIN { printf "%.1f", (a / p - 1) * 100 }')
echo "files: $files, best of $runs warm runs, $(nproc) cores"
echo "/X  costs ${x} ms more than /N:100   (target <= 50 ms)  $(verdict "$x" 50)"
echo "/T:60 costs ${t} ms more than /N:15  (target <= 100 ms) $(verdict "$t" 100)"
echo "/B  costs ${b}% more than /N:100     (target <= 10%)    $(verdict "$b" 10)"
echo "command: $0 $program (RUNS=$runs FILES=$files)"

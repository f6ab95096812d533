#!/usr/bin/env bash
# How the batch interpreter's walk scales with the cores on three shapes of tree, beside the
# floor (bench_floorwalk: a bare walk that only counts files):
#   wide    1,000,000 files in 127,000 folders, 36,000 of them at the top level
#   albums  1,000,000 files in artist/album folders of 8, 2,500 artists (bench_scaling.sh's)
#   flat    200,000 files in one folder
# For each, the song search's 13 dir lines (every song pattern) on one thread and on every
# core, and the floor on one and two threads; warm cache, RUNS interleaved rounds; prints the
# medians, every core / one thread (target <= 0.6), the floor's own two threads / one (what the
# machine gives that shape of tree) and the interpreter over the two-thread floor.
#
# Usage: bench/bench_threads.sh [path/to/mixgen-cmd]   (bench_floorwalk is taken beside it)
# The trees are made once by bench/maketree.py, in /tmp.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
cmd="${1:-$here/build/bin/mixgen-cmd}"
floor="$(dirname "$cmd")/bench_floorwalk"
runs="${RUNS:-5}"
[[ -x "$cmd" && -x "$floor" ]] || { echo "build mixgen-cmd and bench_floorwalk first" >&2; exit 2; }

python3 "$here/bench/maketree.py" wide /tmp/mixgen-wide
python3 "$here/bench/maketree.py" albums /tmp/mixgen-scale-1000000 1000000
python3 "$here/bench/maketree.py" flat /tmp/mixgen-flat

source "$here/bench/benchenv.sh"
bench_steal_start
work="$(mktemp -d /tmp/mixgen-bench-threads-XXXXXX)"
trap 'rm -rf "$work"' EXIT

# Microseconds one command takes. The list is removed first, as the song search's run folder is
# new each time (ext4 writes an emptied file's pages out at once when it is closed).
took() {
    local start end
    rm -f "$work/all.lst"
    bench_clock_us start
    "$@" > /dev/null
    bench_clock_us end
    echo $((end - start))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

read_kib=""
printf '%-7s %10s %10s %10s %10s %8s %8s %8s\n' tree "1 thread" "$(nproc) cores" "floor 1" "floor 2" \
    cores/1 floor2/1 cmd/floor
for shape in wide albums flat; do
    case $shape in
    wide) tree=/tmp/mixgen-wide ;;
    albums) tree=/tmp/mixgen-scale-1000000 ;;
    flat) tree=/tmp/mixgen-flat ;;
    esac
    bench_song_batch "$tree" "$work/all.bat" "$work/all.lst"
    "$cmd" "$work/all.bat" # warm-up
    rounds=""
    bench_read_kib read_from
    for ((i = 0; i < runs; i++)); do # interleaved
        rounds+="$(took "$cmd" --threads 1 "$work/all.bat") $(took "$cmd" "$work/all.bat")"
        rounds+=" $(took "$floor" --threads 1 "$tree") $(took "$floor" "$tree")"$'\n'
    done
    bench_read_kib read_to
    read_kib+=" $shape $((read_to - read_from)) KiB;"
    one=$(awk 'NF { print $1 }' <<< "$rounds" | median)
    all=$(awk 'NF { print $2 }' <<< "$rounds" | median)
    floor1=$(awk 'NF { print $3 }' <<< "$rounds" | median)
    floor2=$(awk 'NF { print $4 }' <<< "$rounds" | median)
    awk -v s="$shape" -v o="$one" -v a="$all" -v f1="$floor1" -v f2="$floor2" 'BEGIN {
        printf "%-7s %8.0f us %8.0f us %8.0f us %8.0f us %8.2f %8.2f %8.2f\n", s, o, a, f1, f2, a / o, f2 / f1, a / f2 }'
done
echo "medians of $runs warm rounds; command: $0 $cmd (RUNS=$runs)"
echo "read from disk in the timed rounds (none when warm):$read_kib"
bench_steal_report
bench_pageout_note

#!/usr/bin/env bash
# Times the batch interpreter's folder walk against find over a music tree of 200000 files
# (nested artist/album folders, mixed extensions, some non-ASCII names), warm cache, best of
# several runs, and prints the ratios:
#   one pattern:  mixgen-cmd with one dir line ("MP?") / find -iname '*.mp?'   (target <= 0.6)
#   13 patterns:  mixgen-cmd with all 13 song extensions / its one-pattern run (target <= 1.2)
#   threads:      mixgen-cmd on every core / the same walk on one thread (target <= 0.6)
#
# Usage: bench/bench_walk.sh [path/to/mixgen-cmd]   (default: build/bin/mixgen-cmd)
# The tree is built once and kept in $MIXGEN_BENCH_TREE (default /tmp/mixgen-bench-walk-tree).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
cmd="${1:-${MIXGEN_CMD:-$here/build/bin/mixgen-cmd}}"
source "$here/bench/benchenv.sh"
tree="${MIXGEN_BENCH_TREE:-/tmp/mixgen-bench-walk-tree}"
runs="${MIXGEN_BENCH_RUNS:-5}"
[[ -x "$cmd" ]] || { echo "no mixgen-cmd at $cmd (build it, or pass its path)" >&2; exit 2; }

artists=500
albums=40
tracks=10
stamp="$tree.complete-$artists-$albums-$tracks"

build_tree() {
    echo "building the tree in $tree (once)..." >&2
    rm -rf "$tree"
    mkdir -p "$tree"
    local exts=(mp3 MP3 mp3 mp3 mp2 flac wav ogg m4a wma mod it jpg txt xm)
    local a b t name artist album
    {
        for ((a = 0; a < artists; a++)); do
            if ((a % 7 == 3)); then artist="Artiste Café Ünïcode $a"
            elif ((a % 11 == 5)); then artist="歌手 $a"
            else artist="Artist $a"; fi
            for ((b = 0; b < albums; b++)); do
                album="$tree/$artist/Album $b (live)"
                printf '%s\0' "$album" >&3
                for ((t = 0; t < tracks; t++)); do
                    name="$album/$t - Track $((a * 7 + b * 3 + t)).${exts[(a + b + t) % ${#exts[@]}]}"
                    printf '%s\0' "$name"
                done
            done
        done
    } 3> "$tree.folders" > "$tree.files"
    xargs -0 mkdir -p < "$tree.folders"
    xargs -0 touch < "$tree.files"
    rm -f "$tree.folders" "$tree.files"
    touch "$stamp"
}

[[ -e "$stamp" ]] || build_tree

work="$(mktemp -d /tmp/mixgen-bench-walk-XXXXXX)"
trap 'rm -rf "$work"' EXIT

exts=("MP?" "WMA" "WAV" "MOD" "STM" "S3M" "IT" "XM" "MDZ" "STZ" "S3Z" "ITZ " "XMZ")
printf '@echo off\r\ndir "%s/*.MP?" /s /b>%s/one.lst\r\n' "$tree" "$work" > "$work/one.bat"
{
    printf '@echo off\r\n'
    redirect='>'
    for ext in "${exts[@]}"; do
        printf 'dir "%s/*.%s" /s /b%s%s/all.lst\r\n' "$tree" "$ext" "$redirect" "$work"
        redirect='>>'
    done
} > "$work/all.bat"

# Best wall time of $runs runs, in microseconds, after one warm-up run.
best_of() {
    "$@" > /dev/null
    local best=0 start end took i
    for ((i = 0; i < runs; i++)); do
        bench_clock_us start
        "$@" > /dev/null
        bench_clock_us end
        took=$((end - start))
        if ((best == 0 || took < best)); then best=$took; fi
    done
    echo "$best"
}

run_find() { find "$tree" -iname '*.mp?' > "$work/find.lst"; }
run_one() { "$cmd" "$work/one.bat"; }
run_all() { "$cmd" "$work/all.bat"; }
run_one_thread() { "$cmd" --threads 1 "$work/all.bat"; }

find_us=$(best_of run_find)
one_us=$(best_of run_one)
all_us=$(best_of run_all)
single_us=$(best_of run_one_thread)

files=$(find "$tree" -type f | wc -l)
echo "tree: $tree ($files files), best of $runs warm runs"
echo "found by find:       $(wc -l < "$work/find.lst") lines, ${find_us} us"
echo "mixgen-cmd 1 line:   $(wc -l < "$work/one.lst") lines, ${one_us} us"
echo "mixgen-cmd 13 lines: $(wc -l < "$work/all.lst") lines, ${all_us} us ($(nproc) cores)"
echo "the same, 1 thread:  ${single_us} us"
awk -v f="$find_us" -v o="$one_us" -v a="$all_us" -v s="$single_us" 'BEGIN {
    r1 = o / f; r2 = a / o; r3 = a / s
    printf "one pattern / find:         %.3f (target <= 0.6) %s\n", r1, (r1 <= 0.6 ? "ok" : "MISSED")
    printf "13 patterns / one pattern:  %.3f (target <= 1.2) %s\n", r2, (r2 <= 1.2 ? "ok" : "MISSED")
    printf "every core / one thread:    %.3f (target <= 0.6) %s\n", r3, (r3 <= 0.6 ? "ok" : "MISSED")
}'

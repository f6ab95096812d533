#!/usr/bin/env bash
# The pick against `shuf -n 100000` on the same list of a million songs, one run each.
# Prints the seconds of: the pick and the writing of 100000 songs (the found list already in
# memory, as the search leaves it), the whole run that first reads and translates the list
# file, and shuf; then the ratios. Exits 0 when the pick and the writing beat shuf.
#   bench/bench_pick_vs_shuf.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runner="$build/bin/bench_pick_run"
[[ -x "$runner" ]] || { echo "build the target bench_pick_run into $build first" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
songs=1000000
picks=100000
# A list as the batch interpreter writes it: full paths, CR LF line ends.
awk -v n="$songs" 'BEGIN { for (i = 0; i < n; i++)
    printf "/home/user/Music/Artist %d/Album %d/Track %07d.mp3\r\n", i % 977, i % 31, i }' \
    >"$work/mixgen.lst"
cat "$work/mixgen.lst" >/dev/null # both start from a warm page cache

TIMEFORMAT=%R
run_seconds=$({ time "$runner" "$work/mixgen.lst" "$picks" "$work/pick.m3u" >"$work/pick.seconds"; } 2>&1)
shuf_seconds=$({ time shuf -n "$picks" "$work/mixgen.lst" >"$work/shuf.m3u"; } 2>&1)
pick_seconds=$(cat "$work/pick.seconds")

different=$(sort -u "$work/pick.m3u" | wc -l)
[[ "$different" -eq "$picks" ]] || { echo "the pick wrote $different different songs, not $picks" >&2; exit 1; }
awk -v p="$pick_seconds" -v r="$run_seconds" -v s="$shuf_seconds" 'BEGIN {
    printf "pick and write: %.3f s   whole run with the list read: %.3f s   shuf -n: %.3f s\n", p, r, s
    printf "ratio pick and write / shuf: %.2f   ratio whole run / shuf: %.2f\n", p / s, r / s
    exit (p < s) ? 0 : 1 }'

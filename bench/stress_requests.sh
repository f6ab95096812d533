#!/usr/bin/env bash
# Starts N different requests of the real program at once, T times over, without a display,
# all sharing one work folder, and counts what went wrong:
#   failed  - a run that ended with a status other than 0
#   wrong   - a playlist that does not hold exactly the songs of its own folder
#   mixed   - (all requests writing one playlist) a playlist that is not one request's whole
#             playlist
# Target: 0 of every kind.
#
# Usage: bench/stress_requests.sh [path/to/mixgen]   (default: build/bin/mixgen)
# Environment: COUNTS="2 8 20" (requests at once), TRIALS=20, SONGS=200 (songs per folder).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
counts="${COUNTS:-2 8 20}"
trials="${TRIALS:-20}"
songs="${SONGS:-200}"
[[ -x "$program" ]] || { echo "no program at $program (build it, or pass its path)" >&2; exit 2; }

source "$here/bench/benchenv.sh"
bench_env stress
top="$work"
mkdir -p "$top/lists"

max=0
for n in $counts; do ((n > max)) && max=$n; done
for ((i = 0; i < max; i++)); do
    mkdir -p "$top/music/$i"
    (cd "$top/music/$i" && for ((s = 0; s < songs; s++)); do : > "r$i s$s.mp3"; done)
done

# Every line of a playlist names a song of folder $1, each once, and there are $2 of them.
holds_only() {
    local folder="$1" want="$2" file="$3"
    [[ -f "$file" ]] || return 1
    local lines distinct foreign
    lines=$(wc -l < "$file")
    distinct=$(sort -u "$file" | wc -l)
    foreign=$(grep -c -v -F "$top/music/$folder/" "$file" || true)
    [[ "$lines" -eq "$want" && "$distinct" -eq "$want" && "$foreign" -eq 0 ]]
}

bench_clock_us start
for n in $counts; do
    failed=0 wrong=0 mixed=0
    for ((t = 0; t < trials; t++)); do
        rm -f "$top/lists/"*
        pids=()
        for ((i = 0; i < n; i++)); do
            "$program" "/P:$top/music/$i /O:$top/lists/own$i /N:$songs /S /Y" >/dev/null 2>&1 &
            pids+=($!)
        done
        for ((i = 0; i < n; i++)); do
            wait "${pids[$i]}" || failed=$((failed + 1))
            holds_only "$i" "$songs" "$top/lists/own$i.M3U" || wrong=$((wrong + 1))
        done

        # All of them writing one playlist: the last one wins, whole.
        pids=()
        for ((i = 0; i < n; i++)); do
            "$program" "/P:$top/music/$i /O:$top/lists/shared /N:$songs /S /Y" >/dev/null 2>&1 &
            pids+=($!)
        done
        for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
        whole=0
        for ((i = 0; i < n; i++)); do
            holds_only "$i" "$songs" "$top/lists/shared.M3U" && whole=1
        done
        ((whole)) || mixed=$((mixed + 1))
    done
    leftovers=$(find "$TEMP" -mindepth 1 -name 'mixgen-??????' | wc -l)
    printf '%2d at once x %d trials: %d runs, failed %d, wrong %d, mixed %d, work folders left %d\n' \
        "$n" "$trials" $((2 * n * trials)) "$failed" "$wrong" "$mixed" "$leftovers"
done
bench_clock_us end
echo "took $(((end - start) / 1000)) ms; command: $0 $program (COUNTS=\"$counts\" TRIALS=$trials SONGS=$songs)"

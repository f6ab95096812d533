#!/usr/bin/env bash
# How soon a request's picked songs are on the screen. The program is started under Xvfb with
# /N:100000 /Y on a large tree (the playlist window stays open with the songs); the screen is read every few milliseconds (xwd) for a few
# seconds. The first frame from which the screen no longer changes is the playlist window with
# its songs shown; its time after the start is printed, with the time the playlist file first
# appeared. The screen is read only once the file is there, so the reads do not slow the
# search; each read takes some milliseconds, which bounds the precision.
#
# Usage: bench/bench_screen.sh [path/to/mixgen] [tree]
#   tree: default $MIXGEN_BENCH_TREE or /tmp/mixgen-million (make it with bench_scaling.sh or
#   bench_walk.sh); RUNS (default 3), N (default 100000), WATCH seconds (default 3).
# Installs Xvfb and xwd with apt-get when they are missing.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
tree="${2:-${MIXGEN_BENCH_TREE:-/tmp/mixgen-million}}"
runs="${RUNS:-3}"
n="${N:-100000}"
watch="${WATCH:-3}"
[[ -x "$program" ]] || { echo "no program at $program" >&2; exit 2; }
[[ -d "$tree" ]] || { echo "no tree at $tree" >&2; exit 2; }

source "$here/bench/benchenv.sh"
bench_need Xvfb xvfb xwd x11-apps
bench_env bench-screen all-songs

screen=":$((200 + RANDOM % 500))"
# -noreset: the server does not start over between two runs, when its last client has left.
Xvfb "$screen" -noreset -screen 0 800x600x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2> /dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do xwd -root -silent -display "$screen" > /dev/null 2>&1 && break; sleep 0.05; done
export DISPLAY="$screen"

now_ms() {
    local us
    bench_clock_us us
    echo $((us / 1000))
}

shown_all=() written_all=()
for ((run = 0; run < runs; run++)); do
    rm -f "$work/out.m3u"
    : > "$work/frames"
    start=$(now_ms)
    "$program" "/P:$tree /O:$work/out.m3u /N:$n /Y" > /dev/null 2>&1 &
    pid=$!
    # Until the playlist file appears only its name is looked at (cheap); from then on the
    # screen is read until the watch ends.
    while [[ ! -e "$work/out.m3u" ]] && (($(now_ms) - start < watch * 1000)); do sleep 0.005; done
    written=$(($(now_ms) - start))
    [[ -e "$work/out.m3u" ]] || written="over $((watch * 1000))" # not within the watch
    while (($(now_ms) - start < watch * 1000)); do
        sum=$(xwd -root -silent | md5sum)
        echo "$(($(now_ms) - start)) ${sum%% *}" >> "$work/frames"
    done
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
    # The first frame after which every frame is the final one.
    shown=$(awk '{ t[NR] = $1; h[NR] = $2 } END {
        if (NR == 0) { print "over '"$((watch * 1000))"'"; exit }
        i = NR; while (i > 1 && h[i - 1] == h[NR]) i--; print t[i] }' "$work/frames")
    frames=$(wc -l < "$work/frames")
    echo "run $((run + 1)): playlist file after $written ms, songs on the screen after $shown ms ($frames screen reads)"
    shown_all+=("$shown")
    written_all+=("$written")
done
best() { printf '%s\n' "$@" | grep -v over | sort -n | head -1 | grep . || echo "over $((watch * 1000))"; }
echo "best: playlist file $(best "${written_all[@]}") ms, on the screen $(best "${shown_all[@]}") ms (N=$n, $tree)"
echo "command: $0 $program $tree (RUNS=$runs N=$n)"

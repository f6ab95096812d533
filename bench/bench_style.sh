#!/usr/bin/env bash
# What the playlist styles cost a whole silent request on a tree of a million songs, warm
# cache, best of RUNS (median too), against the plain request they would otherwise be:
#   /N:100 /X   at most 50 ms more than /N:100        (tags of 100 drawn songs)
#   /T:60       at most 100 ms more than /N:15        (an hour of songs of about 4 minutes)
#   /N:100 /B   at most 10% more than /N:100          (every song grouped by its folder)
# The tree (made once, in /tmp/mixgen-style-1000000) holds artist/album folders of 8 songs,
# each a hard link to one of 20 small MP3 files with tags whose Xing header gives a length of
# 2.5 to 5.5 minutes, so a million songs take the disk of 20 files.
#
# Usage: bench/bench_style.sh [path/to/mixgen]   (RUNS=7 by default, FILES=1000000)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
runs="${RUNS:-7}"
files="${FILES:-1000000}"
tree="/tmp/mixgen-style-$files"
[[ -x "$program" ]] || { echo "no program at $program" >&2; exit 2; }

if [[ ! -e "$tree.complete" ]]; then
    echo "making $tree (once)..." >&2
    python3 - "$tree" "$files" <<'PY'
import os, struct, sys
root, total = sys.argv[1], int(sys.argv[2])
def frame(xing_frames=None):
    f = bytearray(b'\xff\xfb\x90\x00' + b'\x00' * 413)
    if xing_frames:
        f[36:52] = b'Xing' + struct.pack('>III', 3, xing_frames, xing_frames * 417)
    return bytes(f)
def id3(artist, title):
    def fr(fid, text):
        body = b'\x03' + text.encode()
        n = len(body)
        return fid + bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127, 0, 0]) + body
    body = fr(b'TPE1', artist) + fr(b'TIT2', title)
    n = len(body)
    return b'ID3\x04\x00\x00' + bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127]) + body
os.makedirs(root + '/.sources', exist_ok=True)
sources = []
for i in range(20):
    seconds = 150 + i * 10
    path = f'{root}/.sources/{i:02d}.mp3'
    with open(path, 'wb') as out:
        out.write(id3(f'Artist {i}', f'Title {i}') + frame(int(seconds * 44100 / 1152)) + frame() * 8)
    sources.append(path)
n = a = 0
while n < total:
    for b in range(50):
        d = f'{root}/Artist {a:05d}/Album {b:02d}'
        os.makedirs(d, exist_ok=True)
        for t in range(8):
            os.link(sources[n % 20], f'{d}/{t:02d} Track {n}.mp3')
            n += 1
            if n == total:
                break
        if n == total:
            break
    a += 1
PY
    touch "$tree.complete"
fi

source "$here/bench/benchenv.sh"
bench_env bench-style

# time_request NAME SWITCHES: the best and the median of RUNS warm runs, in ms.
declare -A best median
time_request() {
    local name=$1 switches=$2 i start end times=()
    "$program" "/P:$tree /O:$work/mix /S /Y $switches" > /dev/null 2>&1 # warms the cache
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$program" "/P:$tree /O:$work/mix /S /Y $switches" > /dev/null 2>&1
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
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

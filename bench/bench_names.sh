#!/usr/bin/env bash
# A whole silent request (all 13 song patterns, N=1000) over a tree of 300000 files where a
# third of the names are not ASCII (Cyrillic, Greek, CJK, Arabic, accented Latin, emoji), so
# that the list carries many UTF-8 names, and over its twin of the same shape with plain
# names only: the UTF-8 names must cost about what plain names cost. Compares one or more
# builds of the program, interleaved (hyperfine), warm cache.
#
# Usage: bench/bench_names.sh [path/to/mixgen ...]   (default: build/bin/mixgen)
# The trees are built once and kept in $MIXGEN_NAMES_TREE (default
# /tmp/mixgen-bench-names-tree) and the same with "-plain" appended.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
programs=("$@")
((${#programs[@]} > 0)) || programs=("$here/build/bin/mixgen")
tree="${MIXGEN_NAMES_TREE:-/tmp/mixgen-bench-names-tree}"
runs="${RUNS:-10}"

source "$here/bench/benchenv.sh"
bench_need hyperfine hyperfine
bench_env bench-names all-songs

make_tree() { # folder plain(0|1)
    [[ -e "$1.complete" ]] && return
    echo "building the tree in $1 (once)..." >&2
    rm -rf "$1"
    python3 - "$1" "$2" <<'PY'
import os, sys
root = sys.argv[1]
words = ["Кино Группа", "Ελληνικά τραγούδια", "夜に駆ける", "月亮代表我的心", "نسم علينا",
         "Björk – Jóga", "🎵 Café Ünï", "Artist", "Album", "Track"]
if sys.argv[2] == "1":
    words = ["Kino Gruppa", "Ellinika tragoudia", "Yoru ni kakeru", "Yueliang daibiao",
             "Nassam alayna", "Bjork - Joga", "Cafe Uni", "Artist", "Album", "Track"]
exts = ["mp3", "MP3", "mp3", "wma", "ogg", "flac", "jpg", "wav", "mp2", "it"]
n = 0
for a in range(600):
    for b in range(50):
        folder = os.path.join(root, f"{words[a % 10]} {a}", f"{words[(a + b) % 10]} {b}")
        os.makedirs(folder)
        for t in range(10):
            # Seven in ten plain, three in ten with a name in another script.
            word = words[7 + t % 3] if t % 10 < 7 else words[(a + t) % 7]
            open(os.path.join(folder, f"{t:02d} {word} {n}.{exts[(a + b + t) % 10]}"), "w").close()
            n += 1
PY
    touch "$1.complete"
}
make_tree "$tree" 0
make_tree "$tree-plain" 1

commands=()
for program in "${programs[@]}"; do
    [[ -x "$program" ]] || { echo "no program at $program" >&2; exit 2; }
    for t in "$tree" "$tree-plain"; do
        commands+=("$program '/P:$t /O:$work/mix /N:1000 /S /Y'")
    done
done
hyperfine -N -w 2 -r "$runs" "${commands[@]}"

#!/usr/bin/env bash
# A whole silent request against the tools a user would pick instead to make the same random
# playlist: GNU find, bfs and fd, each listing the files of the 13 song patterns (any case)
# and drawing N of them with shuf. Same tree, interleaved runs, warm cache (and, with COLD=1
# as root, the page cache dropped before every run), best of RUNS. Prints the times and the
# ratios mixgen / peer for N=1000 and N=100000, from the best times and, steadier on a machine
# whose speed drifts, as the median of each round's own ratio (its runs follow each other).
#
# Usage: bench/bench_peers.sh [path/to/mixgen] [tree]
#   tree: default $MIXGEN_BENCH_TREE or /tmp/mixgen-bench-walk-tree (made by bench_walk.sh)
# Installs bfs and fd-find with apt-get when they are missing.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
tree="${2:-${MIXGEN_BENCH_TREE:-/tmp/mixgen-bench-walk-tree}}"
runs="${RUNS:-5}"
cold="${COLD:-0}"
[[ -x "$program" ]] || { echo "no program at $program" >&2; exit 2; }
[[ -d "$tree" ]] || { echo "no tree at $tree" >&2; exit 2; }

source "$here/bench/benchenv.sh"
bench_need bfs bfs fdfind fd-find
bench_env bench-peers all-songs

# The 13 song patterns as one expression: "MP?" is "mp" and one more character, "ITZ " is itz.
regex='.*\.(mp.|wma|wav|mod|stm|s3m|it|xm|mdz|stz|s3z|itz|xmz)$'
fdregex='\.(mp.|wma|wav|mod|stm|s3m|it|xm|mdz|stz|s3z|itz|xmz)$'

run_mixgen() { "$program" "/P:$tree /O:$work/mix /N:$1 /S /Y"; }
run_find() { find "$tree" -type f -regextype posix-extended -iregex "$regex" | shuf -n "$1" > "$work/peer"; }
run_bfs() { bfs "$tree" -type f -regextype posix-extended -iregex "$regex" | shuf -n "$1" > "$work/peer"; }
run_fd() { fdfind -u -t f -i "$fdregex" "$tree" | shuf -n "$1" > "$work/peer"; }

drop_caches() { [[ "$cold" == 1 ]] && sync && echo 3 > /proc/sys/vm/drop_caches || true; }

declare -A best rounds took
for n in 1000 100000; do
    for tool in mixgen find bfs fd; do best[$tool$n]=0; done
    "run_mixgen" "$n" > /dev/null 2>&1 # warm-up
    for ((i = 0; i < runs; i++)); do
        for tool in mixgen find bfs fd; do # interleaved
            drop_caches
            start=$(date +%s%N)
            "run_$tool" "$n" > /dev/null 2>&1
            took[$tool]=$((($(date +%s%N) - start) / 1000))
            if ((best[$tool$n] == 0 || took[$tool] < best[$tool$n])); then
                best[$tool$n]=${took[$tool]}
            fi
        done
        rounds[$n]+="${took[mixgen]} ${took[find]} ${took[bfs]} ${took[fd]}"$'\n'
    done
done

# The median over the rounds of mixgen's time over the peer's (column 2: find, 3: bfs, 4: fd).
median_ratio() {
    awk -v peer="$2" 'NF == 4 { print $1 / $peer }' <<< "$1" | sort -g |
        awk '{ r[NR] = $1 } END { printf "%.2f", NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2 }'
}

found=$(fdfind -u -t f -i "$fdregex" "$tree" | wc -l)
echo "tree: $tree ($found songs of the 13 patterns), best of $runs, $([[ $cold == 1 ]] && echo cold || echo warm)"
for n in 1000 100000; do
    printf 'N=%-6s mixgen %8d us   find %8d us   bfs %8d us   fd %8d us\n' "$n" \
        "${best[mixgen$n]}" "${best[find$n]}" "${best[bfs$n]}" "${best[fd$n]}"
    awk -v m="${best[mixgen$n]}" -v f="${best[find$n]}" -v b="${best[bfs$n]}" -v d="${best[fd$n]}" \
        'BEGIN { printf "         mixgen/find %.2f   mixgen/bfs %.2f   mixgen/fd %.2f   best times\n", m/f, m/b, m/d }'
    printf '         mixgen/find %s   mixgen/bfs %s   mixgen/fd %s   median of the rounds\n' \
        "$(median_ratio "${rounds[$n]}" 2)" "$(median_ratio "${rounds[$n]}" 3)" \
        "$(median_ratio "${rounds[$n]}" 4)"
done
echo "command: $0 $program $tree (RUNS=$runs COLD=$cold)"

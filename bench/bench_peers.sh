#!/usr/bin/env bash
# A whole silent request against the tools a user would pick instead to make the same random
# playlist: GNU find, bfs and fd, each listing the files of the 13 song patterns (any case)
# and drawing N of them with shuf; and against the floor, a bare two-thread walk that only
# counts the files (bench_floorwalk, built beside the program), the least any walk of the tree
# costs on this machine. Same tree, interleaved runs, warm cache (and, with COLD=1 as root, the
# page cache dropped before every run), RUNS rounds. Prints the best and the median times and
# the ratios mixgen / peer for N=1000 and N=100000, from the best times and, steadier on a
# machine whose speed drifts, as the median of each round's own ratio (its runs follow each
# other).
#
# Usage: bench/bench_peers.sh [path/to/mixgen] [tree]
#   tree: default $MIXGEN_BENCH_TREE or /tmp/mixgen-bench-walk-tree (made by bench_walk.sh);
#   bench/maketree.py makes the million-file trees (wide: /tmp/mixgen-wide)
# Installs bfs and fd-find with apt-get when they are missing.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-$here/build/bin/mixgen}"
tree="${2:-${MIXGEN_BENCH_TREE:-/tmp/mixgen-bench-walk-tree}}"
runs="${RUNS:-5}"
cold="${COLD:-0}"
floor="${FLOOR:-$(dirname "$program")/bench_floorwalk}"
[[ -x "$program" ]] || { echo "no program at $program" >&2; exit 2; }
[[ -x "$floor" ]] || { echo "no floor walk at $floor (build bench_floorwalk)" >&2; exit 2; }
[[ -d "$tree" ]] || { echo "no tree at $tree" >&2; exit 2; }

source "$here/bench/benchenv.sh"
bench_need bfs bfs fdfind fd-find
bench_env bench-peers all-songs
bench_steal_start

# The 13 song patterns as one expression: "MP?" is "mp" and one more character, "ITZ " is itz.
regex='.*\.(mp.|wma|wav|mod|stm|s3m|it|xm|mdz|stz|s3z|itz|xmz)$'
fdregex='\.(mp.|wma|wav|mod|stm|s3m|it|xm|mdz|stz|s3z|itz|xmz)$'

run_mixgen() { "$program" "/P:$tree /O:$work/mix /N:$1 /S /Y"; }
run_find() { find "$tree" -type f -regextype posix-extended -iregex "$regex" | shuf -n "$1" > "$work/peer"; }
run_bfs() { bfs "$tree" -type f -regextype posix-extended -iregex "$regex" | shuf -n "$1" > "$work/peer"; }
run_fd() { fdfind -u -t f -i "$fdregex" "$tree" | shuf -n "$1" > "$work/peer"; }
run_floor() { "$floor" "$tree"; }

drop_caches() { [[ "$cold" == 1 ]] && sync && echo 3 > /proc/sys/vm/drop_caches || true; }

tools="mixgen find bfs fd floor"
declare -A best rounds took disk_kib disk_runs
for tool in $tools; do disk_kib[$tool]=0 disk_runs[$tool]=0; done
for n in 1000 100000; do
    for tool in $tools; do best[$tool$n]=0; done
    "run_mixgen" "$n" > /dev/null 2>&1 # warm-up
    for ((i = 0; i < runs; i++)); do
        for tool in $tools; do # interleaved
            drop_caches
            bench_read_kib read_from
            bench_clock_us start
            "run_$tool" "$n" > /dev/null 2>&1
            bench_clock_us end
            bench_read_kib read_to
            took[$tool]=$((end - start))
            if ((read_to > read_from)); then
                disk_kib[$tool]=$((disk_kib[$tool] + read_to - read_from))
                disk_runs[$tool]=$((disk_runs[$tool] + 1))
            fi
            if ((best[$tool$n] == 0 || took[$tool] < best[$tool$n])); then
                best[$tool$n]=${took[$tool]}
            fi
        done
        rounds[$n]+="${took[mixgen]} ${took[find]} ${took[bfs]} ${took[fd]} ${took[floor]}"$'\n'
    done
done

median() {
    sort -g | awk '{ r[NR] = $1 } END { printf "%.2f", NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2 }'
}
# The median over the rounds of mixgen's time over the peer's (column 2: find, 3: bfs, 4: fd,
# 5: the floor).
median_ratio() { awk -v peer="$2" 'NF == 5 { print $1 / $peer }' <<< "$1" | median; }
# The median time of column $2, in microseconds.
median_time() { awk -v c="$2" 'NF == 5 { print $c }' <<< "$1" | median; }

found=$(fdfind -u -t f -i "$fdregex" "$tree" | wc -l)
echo "tree: $tree ($found songs of the 13 patterns), best of $runs, $([[ $cold == 1 ]] && echo cold || echo warm)"
for n in 1000 100000; do
    printf 'N=%-6s mixgen %8d us   find %8d us   bfs %8d us   fd %8d us   floor %8d us   best\n' \
        "$n" "${best[mixgen$n]}" "${best[find$n]}" "${best[bfs$n]}" "${best[fd$n]}" "${best[floor$n]}"
    printf '         mixgen %8.0f us   find %8.0f us   bfs %8.0f us   fd %8.0f us   floor %8.0f us   median\n' \
        "$(median_time "${rounds[$n]}" 1)" "$(median_time "${rounds[$n]}" 2)" \
        "$(median_time "${rounds[$n]}" 3)" "$(median_time "${rounds[$n]}" 4)" \
        "$(median_time "${rounds[$n]}" 5)"
    awk -v m="${best[mixgen$n]}" -v f="${best[find$n]}" -v b="${best[bfs$n]}" -v d="${best[fd$n]}" \
        -v w="${best[floor$n]}" \
        'BEGIN { printf "         mixgen/find %.2f   mixgen/bfs %.2f   mixgen/fd %.2f   mixgen/floor %.2f   best times\n", m/f, m/b, m/d, m/w }'
    printf '         mixgen/find %s   mixgen/bfs %s   mixgen/fd %s   mixgen/floor %s   median of the rounds\n' \
        "$(median_ratio "${rounds[$n]}" 2)" "$(median_ratio "${rounds[$n]}" 3)" \
        "$(median_ratio "${rounds[$n]}" 4)" "$(median_ratio "${rounds[$n]}" 5)"
done
echo "command: $0 $program $tree (RUNS=$runs COLD=$cold)"
printf 'read from disk in the timed runs (%s):' \
    "$([[ $cold == 1 ]] && echo "every run, the cache dropped before it" || echo "none when warm")"
for tool in $tools; do
    printf ' %s %d KiB in %d of %d runs;' "$tool" "${disk_kib[$tool]}" "${disk_runs[$tool]}" \
        $((2 * runs))
done
echo
bench_steal_report
bench_pageout_note

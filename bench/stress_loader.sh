#!/usr/bin/env bash
# Stress of the multi-folder loader, as the desktop starts it for several selected folders:
# N instances of the real program started at once, each
#   "/P:<its own folder> /O:<one shared output> /N:100000 /S /Y /LOADER"
# without a display, T trials per N. Each trial counts the playlists made (the path history
# gets one entry per generation), checks that the one playlist holds songs from every folder,
# that every instance ended with 0, that the "Loader" section is empty and the marker gone,
# and takes the time from the last start to the written playlist. Then K kill trials: the
# collector is killed with SIGKILL while it collects, one more instance is started, and the
# playlist must still come, holding every folder, with no instance left waiting.
#
# Usage: bench/stress_loader.sh [path/to/mixgen]     (default: build/bin/mixgen)
# Environment: MIXGEN_STRESS_N="5 10 20" MIXGEN_STRESS_T=20 MIXGEN_STRESS_KILLS=5
# Folder names are awkward on purpose: blanks, quotes, non-ASCII letters, a leading "-".
# Exits 0 when every trial passed.
set -uo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-${MIXGEN:-$here/build/bin/mixgen}}"
counts="${MIXGEN_STRESS_N:-5 10 20}"
trials="${MIXGEN_STRESS_T:-20}"
kills="${MIXGEN_STRESS_KILLS:-5}"
[[ -x "$program" ]] || { echo "no mixgen at $program (build it, or pass its path)" >&2; exit 2; }

root="$(mktemp -d /tmp/mixgen-stress-loader.XXXXXX)"
trap 'rm -rf "$root"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

folder_name() { # an awkward name for folder number $1
    case $(($1 % 4)) in
    0) printf 'Folder %d with blanks' "$1" ;;
    1) printf 'Quote "%d" here' "$1" ;;
    2) printf 'Ünïcödé Müsik %d' "$1" ;;
    3) printf -- '-lead %d' "$1" ;;
    esac
}

now() { date +%s.%N; }

# Sets up a fresh trial: folders with three songs each, empty settings and work folder.
prepare() { # $1 = number of folders
    rm -rf "$root/trial"
    mkdir -p "$root/trial/temp" "$root/trial/config" "$root/trial/home" "$root/trial/runtime" \
        "$root/trial/out"
    chmod 700 "$root/trial/runtime"
    local i name
    for ((i = 0; i < $1; i++)); do
        name="$(folder_name "$i")"
        mkdir -p "$root/music/$name/disc"
        touch "$root/music/$name/one.mp3" "$root/music/$name/two.mp3" "$root/music/$name/disc/three.mp3"
    done
    export TEMP="$root/trial/temp" XDG_CONFIG_HOME="$root/trial/config" \
        XDG_RUNTIME_DIR="$root/trial/runtime" HOME="$root/trial/home"
}

output() { echo "$root/trial/out/mix.M3U"; }
ini() { echo "$root/trial/config/MIXGEN/MIXGEN.ini"; }

start_instance() { # $1 = folder number; pid in $!
    "$program" "/P:$root/music/$(folder_name "$1") /O:$(output) /N:100000 /S /Y /LOADER" \
        >/dev/null 2>>"$root/trial/errors" &
}

# Waits for the pids, killing any that is still there after 120 s. Sets $failed_status.
wait_all() {
    local deadline=$((SECONDS + 120)) pid status
    failed_status=0
    for pid in "$@"; do
        while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
        if kill -0 "$pid" 2>/dev/null; then
            kill -9 "$pid" 2>/dev/null
            failed_status=$((failed_status + 1))
            echo "    instance $pid still waiting after 120 s"
        fi
        { wait "$pid"; } 2>/dev/null # the killed collector is expected, not news
        status=$?
        ((status == 0 || status == 137)) || failed_status=$((failed_status + 1))
    done
}

# Checks the trial's result for folders 0 .. $1-1; prints the fault and returns 1 on failure.
check_result() {
    local n=$1 fault="" i name made missing=0
    made=$(grep -c '^[A-P]=..*' <(sed -n '/^\[PathMRU\]/,/^\[/p' "$(ini)" 2>/dev/null))
    [[ "$made" == 1 ]] || fault+=" playlists=$made"
    for ((i = 0; i < n; i++)); do
        name="$(folder_name "$i")"
        if ! grep -qF "$root/music/$name/" "$(output)" 2>/dev/null; then
            missing=$((missing + 1))
            echo "    missing: $name"
        fi
    done
    ((missing == 0)) || fault+=" folders-missing=$missing"
    if sed -n '/^\[Loader\]/,/^\[/p' "$(ini)" 2>/dev/null | grep -qE '^(IsLoader|Folders)='; then
        fault+=" loader-keys-left"
    fi
    [[ -e "$TEMP/~MIXGEN.TMP" ]] && fault+=" marker-left"
    ((failed_status == 0)) || fault+=" failed-instances=$failed_status"
    if [[ -n "$fault" ]]; then
        echo "    FAULT:$fault"
        [[ -s "$root/trial/errors" ]] && sed 's/^/    | /' "$root/trial/errors" | head -5
        return 1
    fi
    return 0
}

all_passed=1
printf '%-8s %-7s %-8s %-14s %-14s %-14s\n' "N" "trials" "passed" "last->list min" "median" "max"
for n in $counts; do
    passed=0
    times=()
    for ((trial = 0; trial < trials; trial++)); do
        prepare "$n"
        pids=()
        for ((i = 0; i < n; i++)); do
            start_instance "$i"
            pids+=($!)
        done
        last_start=$(now)
        wait_all "${pids[@]}"
        if [[ -f "$(output)" ]]; then
            written=$(stat -c %.9Y "$(output)")
            times+=("$(echo "$written - $last_start" | bc -l)")
        fi
        if check_result "$n"; then passed=$((passed + 1)); else all_passed=0; fi
    done
    read -r tmin tmed tmax < <(printf '%s\n' "${times[@]:-0}" | sort -g |
        awk '{v[NR]=$1} END {printf "%.2f %.2f %.2f\n", v[1], v[int((NR+1)/2)], v[NR]}')
    printf '%-8s %-7s %-8s %-14s %-14s %-14s\n' "$n" "$trials" "$passed" "${tmin}s" "${tmed}s" \
        "${tmax}s"
done

# The process that holds the lock on a file of the work folder (from /proc/locks).
lock_holder() { # $1 = file name
    local inode
    inode=$(stat -c %i "$TEMP/$1" 2>/dev/null) || return
    awk -v ino="$inode" '$2 == "FLOCK" { split($6, id, ":"); if (id[3] == ino) print $5 }' \
        /proc/locks | head -1
}

if ((kills > 0)); then
    # The shell's own notices of the killed collectors are expected, not news.
    exec 3>&2 2>/dev/null
    n=5
    passed=0
    for ((trial = 0; trial < kills; trial++)); do
        prepare $((n + 1))
        pids=()
        for ((i = 0; i < n; i++)); do
            start_instance "$i"
            pids+=($!)
        done
        # The collector (the holder of "~MIXGEN.COL"), once it has handed its own folder over
        # and let the marker go: it is collecting now.
        victim=""
        for ((wait = 0; wait < 1000; wait++)); do
            victim=$(lock_holder '~MIXGEN.COL')
            [[ -n "$victim" && "$(lock_holder '~MIXGEN.TMP')" != "$victim" ]] && break
            victim=""
            sleep 0.01
        done
        [[ -n "$victim" ]] && kill -9 "$victim"
        start_instance "$n"
        pids+=($!)
        wait_all "${pids[@]}"
        if [[ -z "$victim" ]]; then
            echo "    FAULT: no collector seen"
            all_passed=0
        elif check_result $((n + 1)); then
            passed=$((passed + 1))
        else
            all_passed=0
        fi
    done
    exec 2>&3 3>&-
    echo "kill trials (collector killed with SIGKILL while collecting, $n+1 instances):" \
        "$passed of $kills passed"
fi

((all_passed)) && exit 0 || exit 1

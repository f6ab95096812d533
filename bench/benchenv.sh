# Sourced by the benchmark scripts. bench_env NAME [all-songs]: a private folder in $work
# (removed on exit) holding the work folder and the settings the program is run with, without
# a display; with all-songs, every song pattern is switched on, as a full library wants.
bench_env() {
    work="$(mktemp -d "/tmp/mixgen-$1-XXXXXX")"
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/temp" "$work/config/MIXGEN"
    if [[ "${2:-}" == all-songs ]]; then
        { echo "[Settings]"; for i in $(seq 0 12); do echo "Ext$i=1"; done; } \
            > "$work/config/MIXGEN/MIXGEN.ini"
    fi
    export TEMP="$work/temp" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/config"
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
}

# bench_need COMMAND PACKAGE [COMMAND PACKAGE ...]: installs with apt-get each package whose
# command is missing, so that the peers a benchmark compares with are there.
bench_need() {
    local missing=() sudo=""
    while (($# >= 2)); do
        command -v "$1" > /dev/null || missing+=("$2")
        shift 2
    done
    ((${#missing[@]} > 0)) || return 0
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" > /dev/null
}

# bench_song_batch TREE BATCH LIST: writes to BATCH the song search's batch for TREE with every
# song pattern on (13 dir lines, the first making LIST, the others appending to it).
bench_song_batch() {
    local redirect='>' ext
    {
        printf '@echo off\r\n'
        for ext in "MP?" WMA WAV MOD STM S3M IT XM MDZ STZ S3Z "ITZ " XMZ; do
            printf 'dir "%s/*.%s" /s /b%s%s\r\n' "$1" "$ext" "$redirect" "$3"
            redirect='>>'
        done
    } > "$2"
}

# bench_steal_start, then bench_steal_report: the time the host took from this machine's cores
# (steal, /proc/stat) meanwhile. On a shared VM a core the host slows may show there, and the
# figures taken then are the host's as much as the program's.
bench_steal_ticks() { awk '/^cpu / { print $9 }' /proc/stat; }
bench_steal_start() { steal_from=$(bench_steal_ticks); }
bench_steal_report() {
    echo "time the host took from the cores meanwhile (steal):" \
        "$((($(bench_steal_ticks) - steal_from) * 1000 / $(getconf CLK_TCK))) ms"
}

# bench_read_kib VAR: the KiB read from disk so far (pgpgin, /proc/vmstat), into VAR. A warm run
# reads none. A machine whose memory manager pages out what was not used for a minute or so
# (DAMON's pageout, as on the VM these figures were taken on) makes a "warm" run read now and
# then, and its time is then partly a cold one.
bench_read_kib() { printf -v "$1" '%s' "$(awk '/^pgpgin / { print $2 }' /proc/vmstat)"; }

# bench_pageout_note: a line saying so when such a pageout runs (a DAMON daemon that is on with a
# pageout scheme). Stopping it while the figures are taken (as root, "off" into the daemon's
# state, and "on" again after) keeps warm runs warm; the host's own load still shows in steal.
bench_pageout_note() {
    local daemon
    for daemon in /sys/kernel/mm/damon/admin/kdamonds/*; do
        [[ -r "$daemon/state" && "$(cat "$daemon/state")" == on ]] || continue
        grep -qsx pageout "$daemon"/contexts/*/schemes/*/action || continue
        echo "note: $daemon pages out memory left unused for a while: warm runs may read from disk"
    done
}

# bench_clock_us VAR: the wall clock in microseconds, into VAR, read by the shell itself
# ($EPOCHREALTIME): starting `date` for it put some 1.5 ms of its own start into every time taken.
bench_clock_us() { printf -v "$1" '%s' "${EPOCHREALTIME/[.,]/}"; }

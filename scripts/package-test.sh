#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine with apt-get, uses the installed copy
# as an ordinary user would (version, a playlist made without a display, a folder context-menu
# entry left by an earlier version), checks the launcher, the metainfo and the icons where a
# desktop looks for them, lints the package (lintian) and checks that both executables are
# hardened (hardening-check), then removes the package and checks that nothing of it is left
# but the user's own settings and entries, which then end quietly.
#
#   bash scripts/package-test.sh [build folder]      (default: build-package)
#
# Needs root or sudo. Refuses to run while a mixgen package is installed already.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build=${1:-build-package}
started=$SECONDS

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
fail() {
  echo "package test: $*" >&2
  exit 1
}
installed() {
  [[ $(dpkg-query -W -f='${Status}' mixgen 2>/dev/null || true) == "install ok installed" ]]
}

# One run at a time on a machine: the package is installed system-wide. The lock is a folder in
# the sticky /run/lock, made by root, so nobody else can put a link in its place.
lock=/run/lock/mixgen-package-test
$sudo mkdir -p -m 0755 "$lock" 2>/dev/null || true
[[ -d $lock && ! -L $lock && $(stat -c %u "$lock") -eq 0 ]] || fail "$lock is not root's folder"
exec 9<"$lock"
flock 9

installed && fail "a mixgen package is installed already; remove it first (apt-get remove mixgen)"

[[ -f $build/build.ninja ]] ||
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target mixgen mixgen-cmd >/dev/null
rm -f "$build"/mixgen_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack could not build the package"
debs=("$build"/mixgen_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "cpack wrote no single mixgen_*.deb"
deb=$(realpath "${debs[0]}")
echo "package: $deb"

# lintian, as Debian checks a package: not one error and not one warning.
if command -v lintian >/dev/null; then
  report=$(lintian --no-tag-display-limit "$deb" 2>&1 || true)
  if grep -E '^[EW]: ' <<<"$report"; then
    fail "lintian finds errors or warnings in $deb"
  fi
  echo "lintian: no error, no warning"
else
  echo "lintian is not installed: the package is not linted (scripts/setup.sh installs it)"
fi

work=$(mktemp -d)
we_installed=0
cleanup() {
  if [[ $we_installed -eq 1 ]] && installed; then
    $sudo apt-get remove -y -qq mixgen >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The package's declared needs: the Qt runtime found from the executables, and xdg-open.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6core6 libqt6gui6 libqt6widgets6 xdg-utils; do
  [[ $depends == *"$needed"* ]] || fail "the package does not depend on $needed: $depends"
done

export DEBIAN_FRONTEND=noninteractive
we_installed=1
$sudo apt-get install -y -qq "$deb" >/dev/null || fail "apt-get could not install $deb"
installed || fail "the package is not installed after apt-get install"
mapfile -t owned < <(dpkg-query -L mixgen)

# Where a desktop and a user look for each file.
for path in /usr/bin/mixgen /usr/lib/mixgen/mixgen /usr/lib/mixgen/mixgen-cmd \
  /usr/lib/mixgen/MIXGEN.TXT /usr/lib/mixgen/MIXGEN.TAG \
  /usr/share/applications/io.github.mixgen.Tunepicker.desktop \
  /usr/share/metainfo/io.github.mixgen.Tunepicker.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/mixgen.svg \
  /usr/share/icons/hicolor/48x48/apps/mixgen.png \
  /usr/share/icons/hicolor/256x256/apps/mixgen.png \
  /usr/share/man/man1/mixgen.1.gz; do
  [[ -e $path ]] || fail "$path is missing"
done
[[ $(readlink -f /usr/bin/mixgen) == /usr/lib/mixgen/mixgen ]] || fail "/usr/bin/mixgen does not lead to /usr/lib/mixgen/mixgen"
# No run path: a library is looked for in the system's folders only, never in the folder the
# program is started from.
for program in /usr/lib/mixgen/mixgen /usr/lib/mixgen/mixgen-cmd; do
  ! readelf -d "$program" | grep -q -E 'RPATH|RUNPATH' || fail "$program has a run path"
done
# Built with the release hardening flags: fortified functions, stack protector, relro, bindnow.
# Control-flow protection is compiled in, but the system's own start-up files (crt1.o, crti.o)
# carry no IBT mark, so no program linked here can show it: that check is left out.
if command -v hardening-check >/dev/null; then
  for program in /usr/lib/mixgen/mixgen /usr/lib/mixgen/mixgen-cmd; do
    hardening-check --nocfprotection "$program" ||
      fail "$program is not built with the hardening flags"
  done
else
  echo "hardening-check (devscripts) is not installed: the executables' flags are not checked"
fi
desktop-file-validate /usr/share/applications/io.github.mixgen.Tunepicker.desktop ||
  fail "desktop-file-validate refuses the launcher"
appstreamcli validate --no-net /usr/share/metainfo/io.github.mixgen.Tunepicker.metainfo.xml >/dev/null ||
  fail "appstreamcli refuses the metainfo"
grep -qx 'Exec=mixgen' /usr/share/applications/io.github.mixgen.Tunepicker.desktop ||
  fail "the launcher's Exec line is not the bare program"
# The texts that name the version name this one.
version=$(dpkg-deb -f "$deb" Version)
grep -q "<release version=\"$version\"" /usr/share/metainfo/io.github.mixgen.Tunepicker.metainfo.xml ||
  fail "the metainfo has no release $version"
zcat /usr/share/man/man1/mixgen.1.gz | head -1 | grep -qF "MP3 Tunepicker $version" ||
  fail "the manual page is not that of version $version"
[[ -f /usr/share/doc/mixgen/copyright ]] || fail "the package has no copyright file"
if command -v man >/dev/null; then
  man -l /usr/share/man/man1/mixgen.1.gz 2>&1 >/dev/null | grep . && fail "the manual page has warnings"
fi

# The installed copy, used by an ordinary user whose home and work folder are new: the program
# folder belongs to root, so the shipped tag file must spare the user the retry question.
user_home=$work/home
mkdir -p "$user_home/tmp" "$work/music"
cp -r "$source_dir/data/demo/." "$work/music/"

# A folder context-menu entry as an earlier version left it: the entry's command line in the
# registry tree, its Dolphin service menu and Nautilus script in the one-folder form (one start
# per folder, no TryExec). The installed program's next start rewrites the actions.
data_home=$user_home/.local/share
service_menu=$data_home/kio/servicemenus/mixgen-random-playlist.desktop
script="$data_home/nautilus/scripts/Random Playlist"
mkdir -p "$data_home/MIXGEN" "${service_menu%/*}" "${script%/*}"
cat >"$data_home/MIXGEN/HKEY_CLASSES_ROOT.ini" <<EOF
[Folder]

[Folder\shell]

[Folder\shell\Random Playlist]

[Folder\shell\Random Playlist\command]
@=1:/usr/lib/mixgen/mixgen /P:%1 /O:$user_home/tmp/MIXGEN.M3U /N:100 /S /Y /LOADER\0
EOF
cat >"$service_menu" <<'EOF'
[Desktop Entry]
# Made by MP3 Tunepicker for its folder context-menu entry.
Type=Service
MimeType=inode/directory;
X-KDE-ServiceTypes=KonqPopupMenu/Plugin
X-KDE-Priority=TopLevel
Actions=mixgen-random-playlist;

[Desktop Action mixgen-random-playlist]
Name=Random Playlist
Icon=audio-x-generic
Exec=/usr/lib/mixgen/mixgen --entry "Random Playlist" %f
EOF
cat >"$script" <<'EOF'
#!/bin/sh
# Made by MP3 Tunepicker for its folder context-menu entry "Random Playlist".
for folder in "$@"; do
    case $folder in
    /*) ;;
    *) folder=$PWD/$folder ;;
    esac
    '/usr/lib/mixgen/mixgen' --entry 'Random Playlist' "$folder" &
done
EOF
chmod 0700 "$service_menu" "$script"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  chown -R nobody:nogroup "$work"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
run_as_user() {
  env -i PATH=/usr/bin:/bin HOME="$user_home" TEMP="$user_home/tmp" LANG=C.UTF-8 \
    "${as_user[@]}" "$@"
}

printed=$(run_as_user mixgen --version) || fail "mixgen --version failed"
[[ $printed == "MP3 Tunepicker v$version" ]] || fail "mixgen --version printed: $printed"
echo "installed: $printed"

status=0
run_as_user mixgen "/P:$work/music /O:$work/party /N:5 /Y" 2>"$work/messages" || status=$?
cat "$work/messages" >&2
[[ $status -eq 0 ]] || fail "the installed copy made no playlist (exit status $status)"
songs=$(grep -vc '^#' "$work/party.M3U" || true)
[[ $songs -eq 5 ]] || fail "the playlist holds $songs songs instead of 5"
grep -q "Could not write to" "$work/messages" && fail "the user was asked to retry writing the tag file"
# The search's own folders are gone; only the private runtime folder lent to Qt stays.
kept=$(ls -A "$user_home/tmp" | grep -v '^mixgen-runtime-[0-9]*$' || true)
[[ -z $kept ]] || fail "the work folder keeps files: $kept"
echo "playlist: $songs songs from /usr/bin/mixgen as $(run_as_user id -un)"

# That start rewrote the entry's actions: Dolphin hands every folder to one start and hides the
# action once the program is gone; the script, run as Nautilus runs it (in the folder shown,
# the picked folders as names relative to it), makes one playlist of both folders at once.
grep -qx 'TryExec=/usr/lib/mixgen/mixgen' "$service_menu" ||
  fail "the service menu was not rewritten: $(cat "$service_menu")"
grep -q ' %F$' "$service_menu" || fail "the service menu does not pass every folder to one start"
entry_playlist=$user_home/tmp/MIXGEN.M3U
status=0
(cd "$work/music" && run_as_user "$script" "Aurora Tones" "Blue Hours") 2>"$work/messages" ||
  status=$?
cat "$work/messages" >&2
[[ $status -eq 0 ]] || fail "the entry's script made no playlist (exit status $status)"
songs=$(grep -vc '^#' "$entry_playlist" || true)
[[ $songs -eq 6 ]] || fail "the entry's playlist holds $songs songs instead of the 6 of both folders"
echo "entry: one start made a playlist of both folders ($songs songs)"
rm -f "$entry_playlist"

$sudo apt-get remove -y -qq mixgen >/dev/null || fail "apt-get remove failed"
installed && fail "the package is still installed"

# Nothing the package owned is left, and no file of the program anywhere in the system.
for path in "${owned[@]}"; do
  [[ $path == /usr/lib/mixgen* || ! -d $path ]] || continue
  [[ -e $path || -L $path ]] && fail "$path is left after the removal"
done
left=$(find /usr /etc /opt /var/lib -xdev \( -iname '*mixgen*' -o -iname '*tunepicker*' \) \
  -not -path '/var/lib/dpkg/*' -print 2>/dev/null || true)
[[ -z $left ]] || fail "left after the removal: $left"
# The user's home holds only the user's own settings and entries.
others=$(cd "$user_home" && find . -mindepth 1 -type f -not -path './.config/MIXGEN/*' \
  -not -path './.local/share/MIXGEN/*' -not -path './.cache/*' \
  -not -path ./.local/share/kio/servicemenus/mixgen-random-playlist.desktop \
  -not -path './.local/share/nautilus/scripts/Random Playlist' -print)
[[ -z $others ]] || fail "files in the user's home besides the settings and entries: $others"
# Without the program, its entries are no dead ends: the service menu's TryExec names a program
# that is gone (Dolphin hides the action), and the script ends quietly.
[[ ! -e /usr/lib/mixgen/mixgen ]] || fail "the program the service menu names is still there"
status=0
said=$(cd "$work/music" && run_as_user "$script" "Aurora Tones" 2>&1) || status=$?
[[ $status -eq 0 && -z $said ]] || fail "the script of a removed program failed (status $status): $said"
[[ ! -e $entry_playlist ]] || fail "the script of a removed program made a playlist"

echo "package test passed in $((SECONDS - started)) s"

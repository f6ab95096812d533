#!/usr/bin/env bash
# Opens every window of the built program on a 1280x1024 Xvfb screen at the desktop scales 1,
# 1.5 and 2, and under a dark style, and reads each through the AT-SPI accessibility tree as a
# screen reader does (tests/desktop/check_windows.py): fails on an unnamed control or a window
# not wholly on the screen. Saves the Options window, light and dark, in docs/screenshots/.
#
#   bash scripts/desktop-check.sh [build folder]      (default: build)
#
# Needs Xvfb, dbus-run-session, at-spi2-core, python3-pyatspi, xdotool, x11-utils and
# imagemagick (scripts/setup.sh installs them); the dark run needs adwaita-qt6.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program=$PWD/$build/bin/mixgen
[[ -x $program ]] || { echo "desktop check: build the program first ($program)" >&2; exit 1; }

work=$(mktemp -d)
exec 3>"$work/display"
# Without -noreset the server starts over whenever its last client leaves, as it does between
# two checks, and a program that connects meanwhile is turned away.
Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")
export QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME

failed=0
# style scale [picture]
check() {
  local run=$work/run-$1-$2
  mkdir -p "$run"
  echo "== style $1, scale $2"
  if ! kill -0 $xvfb 2>/dev/null; then
    echo "the virtual screen has ended:" >&2
    cat "$work/xvfb.log" >&2
    failed=1
    return
  fi
  QT_STYLE_OVERRIDE=$1 QT_SCALE_FACTOR=$2 dbus-run-session -- /usr/bin/python3 \
    tests/desktop/check_windows.py "$program" "$PWD/data/demo" "$run" ${3:+--screenshot "$3"} \
    2> >(grep -v -e 'dbus-daemon' -e 'SpiRegistry' -e 'XDG_RUNTIME_DIR' >&2) || failed=1
}
mkdir -p docs/screenshots
check Fusion 1 "$PWD/docs/screenshots/options-light.png"
check Fusion 1.5
check Fusion 2
if [[ -e /usr/lib/x86_64-linux-gnu/qt6/plugins/styles/adwaita.so ]] ||
  compgen -G "/usr/lib/*/qt6/plugins/styles/adwaita.so" >/dev/null; then
  check Adwaita-Dark 1 "$PWD/docs/screenshots/options-dark.png"
  check Adwaita-Dark 2
else
  echo "adwaita-qt6 is not installed: the dark style is not checked"
fi
[[ $failed -eq 0 ]] && echo "desktop check passed" || { echo "desktop check FAILED" >&2; exit 1; }

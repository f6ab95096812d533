#!/usr/bin/env bash
# Installs what is missing, builds, and starts MP3 Tunepicker. Arguments are passed on.
# Without a display and without arguments it makes a playlist from the bundled demo library.
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "${1:-}" == "--no-build" ]]; then shift; else bash scripts/build.sh; fi
program="$PWD/build/bin/mixgen"

if [[ $# -eq 0 && -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  playlist="$PWD/build/DEMO.M3U"
  echo "No display: making a playlist of 5 songs from the demo library in $PWD/data/demo"
  "$program" "/P:$PWD/data/demo /O:$playlist /N:5 /Y"
  echo "Playlist written to $playlist:"
  cat "$playlist"
  exit 0
fi
exec "$program" "$@"

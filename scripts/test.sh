#!/usr/bin/env bash
# Installs what is missing, builds, runs every test, then starts the program once as a user
# would without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)
# The Debian package of this build, installed, used, removed and checked (about a minute).
bash scripts/package-test.sh build
# Every window read through the accessibility tree at three scales and under a dark style.
bash scripts/desktop-check.sh build
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM bash scripts/run.sh --no-build

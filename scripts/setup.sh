#!/usr/bin/env bash
# Installs what building, testing and running MP3 Tunepicker need, when it is missing.
# A second run finds everything in place and costs a second.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev          # Qt 6 Core, Gui, Widgets (and the OpenGL headers Qt Gui wants)
  libgtest-dev libgmock-dev       # tests
  libbenchmark-dev                # bench/
  libtag1-dev                     # TagLib: lengths, artists and titles of the drawn songs
  xvfb xauth x11-apps             # windows on a virtual screen, screenshots (xwd)
  fonts-dejavu-core               # a sans and a monospace family for the windows
  xdg-utils                       # xdg-open: the playlist's and help file's associated program
  mpg123                          # a real player plays every entry of a playlist (tests)
  dpkg-dev file                   # the Debian package: cpack's dependency list (dpkg-shlibdeps)
  desktop-file-utils appstream    # the package test validates the launcher and the metainfo
  lintian devscripts              # ... and checks the .deb (lintian) and its hardening
  python3-pyatspi at-spi2-core dbus  # the desktop check reads the windows as a screen reader
  xdotool x11-utils imagemagick   # ... finds them on the screen and takes their pictures
  adwaita-qt6                     # ... and checks them under a dark style
  bindfs                          # the walk over FUSE folders that share inode numbers (tests, as root)
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package the project needs to build, test and run.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-private-dev qt6-websockets-dev libqt6opengl6-dev
  qt6-multimedia-dev libgl-dev
  libjsoncpp-dev libjpeg-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  libasio-dev libboost-dev libssl-dev
  libgtest-dev libgmock-dev
  fonts-liberation fonts-noto-cjk
  chromium
  python3 valgrind
  # Cameras in the tests: video files made with FFmpeg, served over RTSP by
  # GStreamer's RTSP server through its Python bindings.
  ffmpeg python3-gi gir1.2-gst-rtsp-server-1.0
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# The page tests drive Debian's Chromium through playwright-core (no browser
# download); node and npm come with the machine image, else from Debian.
if ! command -v npm >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get install -y -q --no-install-recommends nodejs npm
fi
e2e_dir="$(cd "$(dirname "$0")/.." && pwd)/tests/e2e"
if [ -f "$e2e_dir/package-lock.json" ] && [ ! -d "$e2e_dir/node_modules/playwright-core" ]; then
  (cd "$e2e_dir" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --ignore-scripts >/dev/null)
fi
echo "setup: all packages present"

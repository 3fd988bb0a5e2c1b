#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the skin images again into resources/skins (NAME.png and NAME@2x.png)
# with the skin painter, built on its own so that it works even when the
# folder is empty. Commit the changed images.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/skin-painter"
cmake -G Ninja -S "$root/resources/skin-painter" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" >/dev/null
rm -f "$root"/resources/skins/*.png
QT_QPA_PLATFORM=offscreen "$build/velk-skin-painter" "$root/resources/skins"

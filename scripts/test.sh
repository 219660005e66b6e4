#!/usr/bin/env bash
# Builds and runs every test: optimised and sanitized native builds, then the Windows cross build
# under Wine, all on one private Xvfb (the viewer's drawing tests read pixels back from its GL).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
source scripts/xvfb.sh
source scripts/wine.sh
# The viewer's GL and the drawing tests' GLX surface; Mesa's software renderer draws them.
VIEWER_PACKAGES=(libgl1-mesa-dev libgl1-mesa-dri libx11-dev)
need_packages "${BUILD_PACKAGES[@]}" "${MINGW_PACKAGES[@]}" "${WINE_PACKAGES[@]}" xvfb \
  "${VIEWER_PACKAGES[@]}"
xvfb_start

for preset in release asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== mingw"
mingw_start=$SECONDS
cmake --preset mingw >/dev/null
cmake --build --preset mingw
# A fresh prefix each run: nothing of an earlier run can leak into the tests.
wine_fresh_prefix "$PWD/build/mingw/wineprefix"
ctest --preset mingw
echo "mingw section: $((SECONDS - mingw_start)) s"

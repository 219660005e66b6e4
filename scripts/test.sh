#!/usr/bin/env bash
# Builds and runs every test: optimised and sanitized native builds, then the Windows cross build
# under Wine on a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
source scripts/xvfb.sh
source scripts/wine.sh
need_packages "${BUILD_PACKAGES[@]}" "${MINGW_PACKAGES[@]}" "${WINE_PACKAGES[@]}" xvfb

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
xvfb_start
# A fresh prefix each run: nothing of an earlier run can leak into the tests.
prefix_start=$SECONDS
wine_fresh_prefix "$PWD/build/mingw/wineprefix"
prefix_time=$((SECONDS - prefix_start))
ctest --preset mingw
echo "mingw section: $((SECONDS - mingw_start)) s (Wine prefix $prefix_time s)"

#!/usr/bin/env bash
# Builds and runs every test on a private Xvfb: optimised and sanitized native builds (with the
# x11 backend's end-to-end tests and the viewer's drawing read back from Mesa's GL), then the
# Windows cross build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
source scripts/xvfb.sh
source scripts/wine.sh
need_packages "${BUILD_PACKAGES[@]}" "${MINGW_PACKAGES[@]}" "${WINE_PACKAGES[@]}" \
  "${PYTHON_PACKAGES[@]}" \
  "${E2E_PACKAGES[@]}"

# One private X server for every section: the native end-to-end tests and the Wine runs.
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
prefix_start=$SECONDS
wine_fresh_prefix "$PWD/build/mingw/wineprefix"
prefix_time=$((SECONDS - prefix_start))
ctest --preset mingw
echo "mingw section: $((SECONDS - mingw_start)) s (Wine prefix $prefix_time s)"

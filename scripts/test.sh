#!/usr/bin/env bash
# Builds and runs every test: optimised and sanitized native builds.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}"

for preset in release asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

#!/usr/bin/env bash
# Builds the optimised programs and runs mikado with the arguments given.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" libgl1-mesa-dev libgl1-mesa-dri
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
exec build/release/bin/mikado "$@"

#!/usr/bin/env bash
# Builds the optimised programs, installs them (into /usr/local as root, else ~/.local) so that
# mikado, mikado-longrun and the figure scripts are on PATH, and runs mikado with the arguments
# given.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" libgl1-mesa-dev libgl1-mesa-dri
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
prefix=$([ "$(id -u)" -eq 0 ] && echo /usr/local || echo "$HOME/.local")
cmake --install build/release --prefix "$prefix" >/dev/null
exec "$prefix/bin/mikado" "$@"

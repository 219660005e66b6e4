#!/usr/bin/env bash
# Builds the Python module and installs the package `mikado` into Debian Python's user site, so
# that /usr/bin/python3 imports it from any folder. Offline once the packages are there.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${PYTHON_PACKAGES[@]}"
cmake --preset release >/dev/null
cmake --build --preset release --target _mikado >/dev/null
site=$(/usr/bin/python3 -m site --user-site)
cmake --install build/release --component python --prefix "$site"

# Sourced by the run and test scripts: installs the Debian packages a step needs, when missing.
# Usage: need_packages pkg...

need_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    return 1
  fi
  if [ -z "${MIKADO_APT_UPDATED:-}" ]; then
    apt-get update -qq || return 1
    export MIKADO_APT_UPDATED=1
  fi
  echo "installing: ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >/dev/null || { echo "apt-get install failed: ${missing[*]}" >&2; return 1; }
}

BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev libbenchmark-dev libx11-dev libxrandr-dev libgl-dev
  libcli11-dev nlohmann-json3-dev libeigen3-dev)
# The end-to-end tests: a private X server with Mesa's software GL, input injection, mode lists
# and screenshots with their pixel checks.
# VTK's Python reader opens the program's VTK files; scipy is the peer the contacts are
# checked against; gnuplot draws the sweep plot.
E2E_PACKAGES=(xvfb libgl1-mesa-dri xdotool x11-xserver-utils imagemagick python3-vtk9 python3-numpy
  python3-scipy gnuplot-nox)
# The Python module (`import mikado`) and its tests; networkx for to_networkx.
PYTHON_PACKAGES=(pybind11-dev python3-dev python3-numpy python3-scipy python3-pytest python3-networkx)
# The Windows cross build; its GoogleTest is built from the googletest source package.
MINGW_PACKAGES=(g++-mingw-w64-x86-64-posix googletest)

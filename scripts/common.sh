# Shared by scripts/run and scripts/test: install what a fresh Debian 12 machine lacks.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
  build-essential cmake ninja-build git
  libgtest-dev googletest
  libcli11-dev libtomlplusplus-dev nlohmann-json3-dev
  qt6-base-dev libgl-dev
  g++-mingw-w64-x86-64 wine wine64
  xvfb xauth x11-utils xdotool imagemagick
)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build_preset() {
  cmake --preset "$1" -S "$repo"
  cmake --build --preset "$1"
}

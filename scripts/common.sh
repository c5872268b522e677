# Shared by scripts/run and scripts/test: install what a fresh Debian 12 machine lacks.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Building and running the Linux programs (scripts/run).
run_packages=(
  build-essential cmake git
  libcli11-dev libtomlplusplus-dev nlohmann-json3-dev libcpp-httplib-dev
  qt6-base-dev libgl-dev
)
# Everything the tests need besides: GoogleTest, the Windows cross-build and Wine, an X
# server for the window tests, Ansible for the playbook of docs/fleet.md, Prometheus and
# Chromium in front of tamlo serve, and the tools that check the packages (scripts/test).
test_packages=(
  "${run_packages[@]}"
  ninja-build libgtest-dev googletest
  g++-mingw-w64-x86-64 wine wine64 fonts-wine
  xvfb xauth x11-utils xdotool imagemagick ansible-core
  dpkg-dev file lintian desktop-file-utils appstream unzip wixl msitools
  prometheus chromium curl jq
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

# build_preset PRESET [cmake configure options...]
build_preset() {
  local preset=$1
  shift
  cmake --preset "$preset" -S "$repo" "$@"
  cmake --build --preset "$preset"
}

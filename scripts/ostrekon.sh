#!/usr/bin/env bash
# Set-up, build, run and test in one place, for a fresh Debian 12 machine.
#   scripts/ostrekon.sh run    install what is missing, build, open the window
#   scripts/ostrekon.sh test   install what is missing, build, run every test
#   scripts/ostrekon.sh build  install what is missing, build only
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
build="$top/build"

packages=(cmake ninja-build g++ pkgconf qt6-base-dev libgl-dev libc-ares-dev
          libgtest-dev libbenchmark-dev fonts-ipafont-gothic qt6-translations-l10n
          iproute2 nftables dnsmasq-base xvfb xauth
          desktop-file-utils appstream dpkg-dev file clang libclang-rt-14-dev
          libcap2-bin libssl-dev openssl libnghttp2-dev)
# Only the tests use these.
test_packages=(nginx-light unbound bind9-dnsutils bind9-utils)

install_missing() {
  local missing=()
  for p in "${packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

do_build() {
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$(nproc)"
}

case "${1:-}" in
  build) install_missing; do_build ;;
  run)
    install_missing; do_build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display found (DISPLAY is not set)." >&2
      echo "To run the window under a virtual display instead:" >&2
      echo "  xvfb-run -a -s '-screen 0 1280x1024x24' $build/ostrekon" >&2
      exit 1
    fi
    exec "$build/ostrekon" ;;
  test)
    install_missing "${test_packages[@]}"; do_build
    cd "$build" && exec sh "$top/scripts/ctest_recap.sh" --output-on-failure --timeout 600 ;;
  *) echo "usage: $0 run|test|build" >&2; exit 2 ;;
esac

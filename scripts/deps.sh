#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, when missing.
# Sourced by run.sh, test.sh and bench.sh; apt-get update runs only when something is missing.

QUILLANE_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev
  zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev libexpat1-dev libxml2-dev libgif-dev
  clang libclang-rt-14-dev fp-compiler
  xdg-utils fonts-dejavu-core qt6-image-formats-plugins python3 gcovr
  qt6-translations-l10n fonts-ipafont-gothic fonts-wqy-microhei
)

quillane_ensure_packages() {
  local missing=()
  for p in "${QUILLANE_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}

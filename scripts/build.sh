#!/usr/bin/env bash
# Configures and builds into a build folder: scripts/build.sh BUILD_DIR [cmake options…]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift
export CCACHE_BASEDIR="$top"
if [[ "$(uname -s)" == Darwin ]]; then
  jobs=$(sysctl -n hw.ncpu)
  # Homebrew's libraries, and the OpenSSL that its cpp-httplib needs. Homebrew builds each bottle for
  # the macOS it runs on, so a build that links them runs on this macOS and later: that is the
  # deployment target it says, unless an option after it names another (see the README).
  brew=$(brew --prefix)
  configure=(-DCMAKE_PREFIX_PATH="$brew" -DOPENSSL_ROOT_DIR="$(brew --prefix openssl@3)"
    -DCMAKE_OSX_DEPLOYMENT_TARGET="$(sw_vers -productVersion | cut -d. -f1).0")
else
  jobs=$(nproc)
  configure=()
fi
if [[ ! -f "$build/build.ninja" ]]; then
  # Written out so that the bash 3.2 of macOS expands no empty array under set -u.
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    ${configure[@]+"${configure[@]}"} ${1+"$@"} >/dev/null
else
  cmake "$build" ${1+"$@"} >/dev/null
fi
ninja -C "$build" -j"$jobs"

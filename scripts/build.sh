#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR) with Ninja and ccache.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
# Cache hits across checkouts: paths below the repo are hashed relative to it.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"

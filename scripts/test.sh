#!/usr/bin/env bash
# Builds, then runs every test through CTest: the suite, then the kernel test bed. The
# layout checks (label layout) run in CI's own stage (.ci/run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
cd "${BUILD_DIR:-$root/build}"
ctest --output-on-failure -j"$(nproc)" -LE 'kernel|layout' "$@"
"$root/scripts/kernel.sh" --no-build "$@"

#!/usr/bin/env bash
# The kernel test bed: runs the tests labelled `kernel` (vexal-cli inside a user-mode Linux
# kernel with scsi_debug and sg). Builds first unless given --no-build. Without the bed's
# packages it says so in one line and runs nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ "${1:-}" = --no-build ]; then shift; else "$root/scripts/build.sh"; fi
echo "== kernel test bed (user-mode Linux, scsi_debug, sg)"
if [ ! -x /usr/bin/linux.uml ] || { ! command -v insmod >/dev/null && [ ! -x /usr/sbin/insmod ]; }; then
  echo "kernel test bed SKIPPED: user-mode-linux or kmod is not installed (scripts/setup.sh installs them)"
  exit 0
fi
cd "$build"
ctest --output-on-failure -j"$(nproc)" -L kernel "$@"

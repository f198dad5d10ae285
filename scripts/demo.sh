#!/usr/bin/env bash
# Builds, then runs the console's main job on the virtual drive: the full bus scan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
export VEXAL_ROOT=${VEXAL_ROOT:-$root/build/demo-root}
mkdir -p "$VEXAL_ROOT"
"$root/build/src/cli/vexal-cli" --virtual scan

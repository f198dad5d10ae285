#!/usr/bin/env bash
# Screenshots of the desktop console in both modes, on the virtual drive, into docs/images/.
# Runs vexal under xvfb-run with a fresh VEXAL_ROOT so that no user setting is touched.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${BUILD_DIR:-$root/build}}
vexal="$build/src/gui/vexal"
[ -x "$vexal" ] || { echo "No $vexal: build with VEXAL_GUI=ON first." >&2; exit 2; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (apt-get install xvfb xauth)." >&2; exit 2; }
out="$root/docs/images"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VEXAL_ROOT="$work"
shoot() {  # FILE [extra options]
    local file=$1
    shift
    xvfb-run -a -s "-screen 0 1280x800x24" "$vexal" --virtual --screenshot "$file" --size 1100x700 "$@"
    echo "wrote $file"
}
shoot "$out/vexal-customer.png"
# Engineering mode: the pass phrase from VEXAL_PASSPHRASE, else from the service notes.
export VEXAL_PASSPHRASE=${VEXAL_PASSPHRASE:-$(sed -n 's/^Engineering pass phrase: //p' "$root/docs/service.md")}
shoot "$out/vexal-engineering.png" --engineering

#!/usr/bin/env bash
# Screenshots of the desktop console on the virtual drive, into docs/images/: the window in
# both modes, the cartridge memory window, and the chart window of a script run.
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
unset VEXAL_PASSPHRASE
shoot "$out/vexal-mam.png" --view mam
# A script that writes ten groups of blocks, each four blocks longer than the last, and
# plots the tape position after each group.
cat > "$work/CHART_POSITION.SCS" <<'SCRIPT'
DESCRIPTION Chart the tape position while writing growing groups of blocks
BUFFER Data [ 512 ]
BUFFER Position [ 20 ]
LONG written = 0
LONG group = 0
LONG blocks = 0
LONG position = 0
CDB Rewind { 6 , NONE , 0 , SCSI_REWIND , 0 , 0 , 0 , 0 , 0 }
CDB WriteBlock { 6 , FROMHOST , Data , SCSI_WRITE , 0 , 0 , 2 , 0 , 0 }
CDB ReadPos { 10 , TOHOST , Position , SCSI_READ_POSITION , 0 , 0 , 0 , 0 , 0 , 0 , 0 , 0 , 0 }
COLOR Blue 0 0 255
CHART Pos
Start:
SETCHARTTITLE Pos "Tape position while writing"
SETCHARTXLABEL Pos "Group of blocks"
SETCHARTYLABEL Pos "Block number"
ADDCHARTLINE Pos 1 "position after the group" Blue 0
OPENCHART Pos
FILLBUFFER Data INCR
SCSI Rewind
ADDCHARTDATAPOINT Pos 1 group position
Again:
blocks += 4
WRITE WriteBlock blocks written
SCSI ReadPos
PEEKL Position [ 4 ] position
group += 1
ADDCHARTDATAPOINT Pos 1 group position
IF group < 10 JUMP Again
EXIT 0
SCRIPT
shoot "$out/vexal-chart.png" --view chart --script "$work/CHART_POSITION.SCS"

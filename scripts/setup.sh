#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, when any is missing.
# Idempotent and quiet when everything is already there. With `bench`, also what
# bench/compare.sh runs beside the console.
set -euo pipefail
packages=(cmake ninja-build pkg-config g++ ccache
          libiscsi-dev libiscsi-bin zlib1g-dev libminizip-dev libssl-dev
          qt6-base-dev qt6-charts-dev libqt6opengl6-dev
          libgtest-dev libgmock-dev libbenchmark-dev libfmt-dev libcli11-dev nlohmann-json3-dev
          tgt xvfb xauth
          user-mode-linux kmod  # the kernel test bed: a real SCSI stack run as a process
          python3)  # makes the help pages from docs/ at build time
# `setup.sh bench`: also the peers the benchmarks measure beside the console.
[ "${1:-}" = bench ] && packages+=(lua5.4 gzip)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}" >&2
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

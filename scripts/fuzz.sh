#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*_fuzz.cpp) with clang into build-fuzz/ and runs each
# for FUZZ_SECONDS (default 20) from its seed corpus in fuzz/corpus/<target>/. Fails on any
# crash, leak, sanitizer report, time-out or out-of-memory; the input that caused it is kept
# in build-fuzz/fuzz-findings/. The seeds are only read: new inputs go to a scratch folder.
#   FUZZ_SECONDS=60 scripts/fuzz.sh                 longer runs
#   FUZZ_TARGETS="sense_fuzz inquiry_fuzz" scripts/fuzz.sh   some targets only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-20}
if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is needed for libFuzzer" >&2
  exit 2
fi
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DVEXAL_FUZZ=ON -DVEXAL_GUI=OFF -DVEXAL_TESTS=OFF \
      -DVEXAL_BENCH=OFF >/dev/null

if [ -n "${FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
else
  targets=()
  for source in "$root"/fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

findings=$build/fuzz-findings
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$findings"
failed=()
printf '%-22s %10s %10s %8s %8s\n' target executions exec/s seeds corpus
for target in "${targets[@]}"; do
  seeds=$root/fuzz/corpus/$target
  work=$scratch/$target
  mkdir -p "$work"
  dirs=("$work")
  nseeds=0
  if [ -d "$seeds" ]; then
    dirs+=("$seeds")
    nseeds=$(find "$seeds" -type f | wc -l)
  fi
  log=$findings/$target.log
  rc=0
  # Files a target makes in the temporary folder go with the scratch folder.
  TMPDIR=$scratch "$build/fuzz/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -print_final_stats=1 \
      -artifact_prefix="$findings/$target-" "${dirs[@]}" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  corpus=$(find "$work" -type f | wc -l)
  printf '%-22s %10s %10s %8s %8s\n' "$target" "${runs:-?}" "${rate:-?}" "$nseeds" "$((corpus + nseeds))"
  if [ "$rc" -ne 0 ]; then
    failed+=("$target")
    echo "== $target failed (exit $rc); log: $log" >&2
    grep -m1 -A12 -E 'ERROR|runtime error|deadly signal|Timeout' "$log" >&2 || tail -20 "$log" >&2
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in ${failed[*]} (inputs in $findings)" >&2
  exit 1
fi
echo "fuzz.sh: no findings in ${#targets[@]} targets, ${seconds} s each"

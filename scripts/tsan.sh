#!/usr/bin/env bash
# ThreadSanitizer run over the tests that exercise threads: the command worker and document
# (test_command), the test runner and multi-device runs (test_app), the serial watcher
# (test_serial), events and single instance (test_platform) and the script executor
# (test_script), and the iSCSI transport's tests against tgtd (the session loop driven by
# calling threads and its worker, aborts from other threads). Builds only those into
# build-tsan/ (or $BUILD_DIR) with -fsanitize=thread and runs their tests through ctest -R;
# any data race or other report fails the test.
#   TSAN_CXX=clang++ scripts/tsan.sh      another compiler (default g++)
#   scripts/tsan.sh --repeat until-fail:3 extra ctest arguments
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-tsan}
executables=(test_command test_app test_serial test_platform test_script)
# Of test_integration, only the suites that drive the iSCSI transport in this process.
iscsi_suites=(IscsiTransportTest IscsiTargetLossTest IscsiPortalTest)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="${TSAN_CXX:-g++}" \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_FLAGS="-fsanitize=thread" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DVEXAL_GUI=OFF -DVEXAL_BENCH=OFF -DVEXAL_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${executables[@]}" test_integration

# The tests of those executables, by their suite names (gtest_discover_tests names every
# test Suite.Name).
suites=()
for exe in "${executables[@]}"; do
  while IFS= read -r line; do
    case "$line" in
      " "*|"") ;;
      *) suites+=("${line%.}") ;;
    esac
  done < <("$build/tests/$exe" --gtest_list_tests)
done
suites+=("${iscsi_suites[@]}")
regex="^($(IFS='|'; echo "${suites[*]}"))\\."
cd "$build"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  ctest --output-on-failure -j"$(nproc)" -R "$regex" "$@"

#!/usr/bin/env bash
# Script execution next to CPython 3 on the same loop (three assignments, a call with an
# assignment and a return, a comparison that jumps back: seven statements a pass), measured
# in the same run. Usage: bench/script_exec_compare.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
passes=200000
per_pass=7

ours=$("$build/bench/script_exec_bench" --benchmark_format=json --benchmark_min_time=2 2>/dev/null |
       python3 -c 'import json,sys; b=json.load(sys.stdin)["benchmarks"][0]; print(b["items_per_second"])')

python=$(python3 - "$passes" "$per_pass" <<'PY'
import sys, time
passes, per_pass = int(sys.argv[1]), int(sys.argv[2])
def run():
    i = x = y = 0
    def sub():
        nonlocal y
        y += x
    while True:
        i += 1
        x += 3
        x ^= i
        sub()
        if not (i < passes):
            break
best = None
for _ in range(5):
    t = time.perf_counter(); run(); t = time.perf_counter() - t
    best = t if best is None or t < best else best
print(passes * per_pass / best)
PY
)
python3 - "$ours" "$python" <<'PY'
import sys
ours, py = float(sys.argv[1]), float(sys.argv[2])
print(f"script engine : {ours/1e6:8.2f} M statements/s")
print(f"CPython {sys.version.split()[0]}: {py/1e6:8.2f} M statements/s")
print(f"ratio (engine / CPython): {ours/py:.2f}")
PY

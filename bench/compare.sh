#!/usr/bin/env bash
# Every performance figure, each measured side by side with its peer in the same run and
# printed as a ratio next to its target. Builds the benchmarks first (RelWithDebInfo).
# Usage: bench/compare.sh [BUILD_DIR]      (default: build-bench; NO_BUILD=1 uses it as it is)
# Each benchmark program can also be run alone from BUILD_DIR/bench/ (see docs/performance.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
"$root/scripts/setup.sh" bench
[ -n "${NO_BUILD:-}" ] || BUILD_DIR=$build "$root/scripts/build.sh" -DVEXAL_BENCH=ON >/dev/null
bench=$build/bench
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run() {  # name filter -> $out/name.json
  "$bench/$1" --benchmark_format=json --benchmark_min_time=${MIN_TIME:-1} ${2:+--benchmark_filter=$2} \
    >"$out/$1${2:+-$2}.json" 2>/dev/null || echo "warning: $1 did not finish" >&2
}

run script_exec_bench
run script_load_bench
run data_path_bench Memcpy
run data_path_bench WriteRead   # alone, so that its peak resident size is its own
run logging_bench
run fadump_compress_bench
run bus_scan_bench
run iscsi_path_bench
[ -x "$bench/log_view_gui_bench" ] && run log_view_gui_bench

# The same loop as bench/script_exec_bench.cpp in CPython and Lua, CPU time, best of five.
passes=200000
python3 - "$passes" >"$out/python.txt" <<'PY'
import sys, time
passes = int(sys.argv[1])
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
    t = time.process_time(); run(); t = time.process_time() - t
    best = t if best is None or t < best else best
print(passes * 7 / best)
PY
lua=$(command -v lua5.4 || true)
if [ -n "$lua" ]; then
  "$lua" - "$passes" >"$out/lua.txt" <<'LUA'
local passes = tonumber(arg[1])
local best
for _ = 1, 5 do
  local t = os.clock()
  local i, x, y = 0, 0, 0
  local function sub() y = y + x end
  repeat
    i = i + 1
    x = x + 3
    x = x ~ i
    sub()
  until not (i < passes)
  t = os.clock() - t
  if not best or t < best then best = t end
end
print(passes * 7 / best)
LUA
fi

python3 - "$out" <<'PY'
import json, os, sys
out = sys.argv[1]
def bench(file, name):
    path = os.path.join(out, file)
    try:
        for b in json.load(open(path))["benchmarks"]:
            if b["name"].startswith(name) and not b.get("error_occurred"):
                return b
    except (OSError, ValueError, KeyError):
        pass
    return None
def number(file):
    try: return float(open(os.path.join(out, file)).read())
    except (OSError, ValueError): return None

rows = []
def row(what, ours, peer, ratio, target, unit=""):
    ok = "-" if ratio is None or target is None else ("met" if ratio >= target else "NOT MET")
    rows.append((what, ours, peer, "-" if ratio is None else f"{ratio:.2f}", "-" if target is None else f">= {target}", ok))

e = bench("script_exec_bench.json", "BM_ExecuteLoop")
py, lua = number("python.txt"), number("lua.txt")
if e:
    s = e["items_per_second"]
    row("script execution vs CPython", f"{s/1e6:.1f} M st/s", f"{py/1e6:.1f} M st/s" if py else "-", s/py if py else None, 1.0)
    row("script execution vs Lua 5.4", f"{s/1e6:.1f} M st/s", f"{lua/1e6:.1f} M st/s" if lua else "-", s/lua if lua else None, None)
l = bench("script_load_bench.json", "BM_Load")
if l:
    row("script load (phases 1-3)", f"{l['items_per_second']/1e6:.2f} M lines/s", "1 M lines/s", l["items_per_second"]/1e6, 1.0)
m = bench("data_path_bench-Memcpy.json", "BM_Memcpy")
d = bench("data_path_bench-WriteRead.json", "BM_WriteRead")
if m and d:
    row("1 GiB write+read+compare vs memcpy", f"{d['bytes_per_second']/2**30:.2f} GiB/s", f"{m['bytes_per_second']/2**30:.2f} GiB/s", d["bytes_per_second"]/m["bytes_per_second"], 0.3)
    row("peak resident size, 1 GiB test", f"{d['peak_rss_mib']:.1f} MiB", "64 MiB", 64/d["peak_rss_mib"], 1.0)
i = bench("iscsi_path_bench.json", "BM_IscsiWriteRead")
if i:
    row("iSCSI 64 MiB write+read+compare vs libiscsi (median of rounds)", f"{i['console_mib_s']:.0f} MiB/s",
        f"{i['libiscsi_mib_s']:.0f} MiB/s", i["median_ratio"], 0.9)
g = bench("logging_bench.json", "BM_LineList"); f = bench("logging_bench.json", "BM_Fputs")
if g and f:
    row("logging vs fputs+fflush", f"{g['items_per_second']/1e3:.0f} k lines/s", f"{f['items_per_second']/1e3:.0f} k lines/s", g["items_per_second"]/f["items_per_second"], 0.8)
z = bench("fadump_compress_bench.json", "BM_CompressDump"); gz = bench("fadump_compress_bench.json", "BM_Gzip6")
if z and gz:
    row("FA dump compression 64 MiB vs gzip -6", f"{z['bytes_per_second']/2**20:.0f} MiB/s", f"{gz['bytes_per_second']/2**20:.0f} MiB/s", z["bytes_per_second"]/gz["bytes_per_second"], 0.95)
b = bench("bus_scan_bench.json", "BM_Scan")
if b:
    row("bus scan of 64 virtual devices", f"{b['real_time']:.0f} ms", "-", None, None)
v1 = bench("log_view_gui_bench.json", "BM_LogViewRefreshAndPaint/1000000"); v0 = bench("log_view_gui_bench.json", "BM_LogViewRefreshAndPaint/10000")
if v1 and v0:
    # Responsive: a refresh and paint with a million lines fits in one 60 Hz frame.
    row(f"log view refresh+paint, 1 M lines (10 000: {v0['real_time']:.1f} ms)", f"{v1['real_time']:.1f} ms",
        "16.7 ms frame", 16.7/v1["real_time"], 1.0)

w = [max(len(str(r[k])) for r in rows + [("what", "console", "peer", "ratio", "target", "")]) for k in range(6)]
fmt = lambda r: "  ".join(str(c).ljust(w[k]) for k, c in enumerate(r))
print(fmt(("what", "console", "peer", "ratio", "target", "")))
for r in rows: print(fmt(r))
PY

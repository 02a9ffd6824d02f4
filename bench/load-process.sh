#!/usr/bin/env bash
# Whole-process load of one picture into a fresh pixel block (a load benchmark's --load-once
# mode), alternating runs as the program is (its blocks advised for huge pages) and with
# transparent huge pages disabled for the process (prctl PR_SET_THP_DISABLE, inherited through
# exec). Both start through the same small launcher. Prints the median wall time of each.
#   bench/load-process.sh FILE [benchmark program] [runs]
#       (defaults: build/bench/bench_readers, 15 runs)
# The benchmark programs make their pictures in /tmp/tav_bench_readers and /tmp/tav_bench_load.
set -euo pipefail
cd "$(dirname "$0")/.."
file=$(realpath "$1")
prog=$(realpath "${2:-build/bench/bench_readers}")
runs=${3:-15}
python3 - "$prog" "$file" "$runs" <<'PY'
import subprocess, sys, time
prog, file, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
launch = "import ctypes,os,sys; %s os.execv(sys.argv[1], sys.argv[1:])"
kinds = {"huge pages advised": launch % "",
         "huge pages disabled": launch % "ctypes.CDLL(None).prctl(41, 1, 0, 0, 0);"}
times = {k: [] for k in kinds}
for i in range(runs):
    for kind, code in kinds.items():
        t = time.monotonic()
        subprocess.run([sys.executable, "-c", code, prog, "--load-once", file], check=True,
                       stderr=subprocess.DEVNULL)
        times[kind].append(time.monotonic() - t)
for kind, v in times.items():
    print("%s: median %.1f ms over %d runs (%s)" % (kind, sorted(v)[len(v) // 2] * 1000, runs, file))
PY

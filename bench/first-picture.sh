#!/usr/bin/env bash
# Time to first picture: wall time from starting tav on a 4096 x 4096 PNG of natural content
# (a seeded plasma) until the picture is on the screen and the view waits for the mouse (the
# first "idle" line of its event log once the view is open: a picture larger than the view
# opens on its global view), as a whole process on a private Xvfb.
#   bench/first-picture.sh [tav binary] [runs]      (defaults: build/app/tav, 7)
# Runs alternate between tav as it is (its pixel blocks advised for huge pages) and tav with
# transparent huge pages disabled for the process (prctl PR_SET_THP_DISABLE, inherited through
# exec: the program as it was before it advised its blocks). Prints every run and, per kind,
# the medians in seconds: wall time, and the process's user and system CPU time by then (page
# faults show in the system time; the wall time also carries whatever else the machine does).
set -euo pipefail
cd "$(dirname "$0")/.."
tav=$(realpath "${1:-build/app/tav}")
runs=${2:-7}
dir=${TAV_BENCH_DIR:-/tmp/tav_bench_first}
mkdir -p "$dir"
img="$dir/plasma4096.png"
if [ ! -s "$img" ]; then
    convert -size 4096x4096 -seed 1 plasma:fractal -depth 8 "$dir/plasma4096.ppm"
    pnmtopng "$dir/plasma4096.ppm" > "$img"
fi

. bench/private-xvfb.sh
start_private_xvfb 1920x1080x24

DISPLAY=":$n" HOME="$home" python3 - "$tav" "$img" "$runs" "$home" <<'PY'
import os, signal, subprocess, sys, time
tav, img, runs, home = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
log = os.path.join(home, "events.log")
# Both kinds start through the same small launcher, so that its start-up weighs the same; one
# disables transparent huge pages for itself before it becomes tav.
AS_IS = [sys.executable, "-c", "import ctypes,os,sys; os.execv(sys.argv[1], sys.argv[1:])"]
NO_THP = [sys.executable, "-c", "import ctypes,os,sys; "
          "ctypes.CDLL(None).prctl(41, 1, 0, 0, 0); os.execv(sys.argv[1], sys.argv[1:])"]
results = {"huge pages advised": ([], [], []), "huge pages disabled": ([], [], [])}
for i in range(2 * runs):
    kind = "huge pages advised" if i % 2 == 0 else "huge pages disabled"
    times, users, systems = results[kind]
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, TAV_TESTLOG=log)
    t0 = time.monotonic()
    err = open(os.path.join(home, "stderr.txt"), "wb")
    cmd = (AS_IS if i % 2 == 0 else NO_THP) + [tav, img]
    p = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=err)
    shown = None
    while p.poll() is None and time.monotonic() - t0 < 60:
        try:
            with open(log) as f:
                text = f.read()
                # A picture larger than the view opens on its global view, in PAN, where the
                # first wait is for the brief note over it: any wait once the view is open.
                if "\nidle " in text.partition("\nview open ")[2]:
                    shown = time.monotonic() - t0
                    with open("/proc/%d/stat" % p.pid) as st:
                        fields = st.read().rsplit(")", 1)[1].split()
                    tick = os.sysconf("SC_CLK_TCK")
                    cpu = (int(fields[11]) / tick, int(fields[12]) / tick)
                    break
        except FileNotFoundError:
            pass
        time.sleep(0.001)
    p.send_signal(signal.SIGTERM)
    try:
        p.wait(5)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()
    err.close()
    if shown is None:
        tail = open(os.path.join(home, "stderr.txt"), errors="replace").read()[-600:]
        sys.exit("tav showed no picture (%s, exit %s):\n%s" % (kind, p.returncode, tail))
    times.append(shown)
    users.append(cpu[0])
    systems.append(cpu[1])
    print("run %d, %s: %.3f s (CPU user %.2f s, system %.2f s)"
          % (i // 2 + 1, kind, shown, cpu[0], cpu[1]))
med = lambda v: sorted(v)[len(v) // 2]
print(tav)
for kind, (times, users, systems) in results.items():
    print("median time to first picture, %s: %.3f s, CPU user %.2f s, system %.2f s"
          % (kind, med(times), med(users), med(systems)))
PY

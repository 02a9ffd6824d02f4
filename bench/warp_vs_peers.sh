#!/bin/bash
# WARP beside its peers on a busy machine: the sides are interleaved round by round, so that
# other load slows them alike, and medians are printed in output megapixels per second.
#  - in one process: N timed WARP calls (bench_warp --warp-times) beside N timed cv2.resize
#    calls in OpenCV's own Python (one thread), each round's median taken, then the median of
#    the rounds and of the per-round ratios;
#  - as whole processes reading the raw picture and writing the result: bench_warp --warp-once,
#    `vips resize` (VIPS_CONCURRENCY=1, reading its .v) and ImageMagick `convert -resize`
#    (MAGICK_THREAD_LIMIT=1).
#
#   bench/warp_vs_peers.sh [BENCH_WARP] [ROUNDS] [CALLS]
#
# BENCH_WARP defaults to build/bench/bench_warp, ROUNDS to 7, CALLS to 9. TAV_PEER_PYTHON names
# the Python that has OpenCV (default /usr/bin/python3).
set -euo pipefail
cd "$(dirname "$0")/.."
prog=$(realpath "${1:-build/bench/bench_warp}")
rounds=${2:-7}
calls=${3:-9}
"$prog" --pictures >/dev/null
python3 - "$prog" "$rounds" "$calls" "${TAV_PEER_PYTHON:-/usr/bin/python3}" <<'PY'
import os, statistics, subprocess, sys, tempfile, time
prog, rounds, calls, peer = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
pics = {}
for line in subprocess.run([prog, "--pictures"], capture_output=True, text=True,
                           check=True).stdout.split("\n"):
    if line:
        c, r, p = line.split(" ", 2)
        pics[(int(c), int(r))] = p
cv_script = """import sys, time
import cv2, numpy as np
cv2.setNumThreads(1)
path, w, h, ow, oh, interp, n = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), \\
    int(sys.argv[4]), int(sys.argv[5]), getattr(cv2, sys.argv[6]), int(sys.argv[7])
a = np.fromfile(path, dtype=np.uint8).reshape(h, w, 4)
f = lambda: cv2.resize(a, (ow, oh), interpolation=interp)
f()
for i in range(n):
    t = time.perf_counter()
    f()
    print(time.perf_counter() - t, flush=True)
"""
work = tempfile.mkdtemp(prefix="tav-warp-peers-")
script = os.path.join(work, "cv.py")
open(script, "w").write(cv_script)
# mode: (WARP bits, cv2 interpolation, vips kernel, ImageMagick filter)
modes = {"replicate": (1, "INTER_NEAREST", "nearest", "point"),
         "bilinear": (2, "INTER_LINEAR", "linear", "triangle"),
         "bicubic": (4, "INTER_CUBIC", "cubic", "catrom"),
         "catmull-rom": (8, "INTER_CUBIC", "cubic", "catrom"),
         "area": (2, "INTER_AREA", "linear", "box")}
cases = [((1024, 1024), 2.0, m) for m in ("replicate", "bilinear", "bicubic", "catmull-rom")] + \
        [((1024, 1024), 4.0, m) for m in ("replicate", "bilinear", "bicubic", "catmull-rom")] + \
        [((256, 256), 16.0, m) for m in ("replicate", "bilinear", "bicubic", "catmull-rom")] + \
        [((4000, 3000), 0.256, "area"), ((4000, 3000), 0.5, "area")]

def scaled(n, f):
    p = n * f
    w = int(p)
    return w + 1 if w + 1 - p <= p * 1e-12 else w

def times(cmd):
    out = subprocess.run(cmd, capture_output=True, text=True, check=True).stdout.split()
    return [float(t) for t in out]

def wall(cmd, env=None):
    t = time.monotonic()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   env=env, shell=isinstance(cmd, str))
    return time.monotonic() - t

one = dict(os.environ, VIPS_CONCURRENCY="1", MAGICK_THREAD_LIMIT="1", OPENCV_FOR_THREADS_NUM="1")
print("%-24s %9s %9s %6s | %9s %9s %9s %6s" % ("output MP/s (median)", "WARP", "OpenCV", "ratio",
                                              "WARP-proc", "vips", "IM", "v/W"))
for (cols, rows), f, mode in cases:
    raw = pics[(cols, rows)]
    bits, interp, kernel, flt = modes[mode]
    ow, oh = scaled(cols, f), scaled(rows, f)
    mp = ow * oh / 1e6
    ours, cv, ratios, op, vp, ip = [], [], [], [], [], []
    for r in range(rounds):
        a = statistics.median(times([prog, "--warp-times", raw, str(cols), str(rows), repr(f),
                                     str(bits), str(calls)]))
        b = statistics.median(times([peer, script, raw, str(cols), str(rows), str(ow), str(oh),
                                     interp, str(calls)]))
        ours.append(a); cv.append(b); ratios.append(b / a)
        op.append(wall([prog, "--warp-once", raw, str(cols), str(rows), repr(f), str(bits),
                        os.path.join(work, "ours.out")]))
        vp.append(wall("vips resize '%s.v' '%s/vips.v' %r --kernel %s" % (raw, work, f, kernel),
                       env=one))
        ip.append(wall("convert -size %dx%d -depth 8 'rgba:%s' -filter %s -resize %dx%d! "
                       "'rgba:%s/im.rgba'" % (cols, rows, raw, flt, ow, oh, work), env=one))
    med = statistics.median
    name = "%s %dx%d x%g" % (mode, cols, rows, f)
    print("%-24s %9.0f %9.0f %6.2f | %9.1f %9.1f %9.1f %6.2f" % (
        name, mp / med(ours), mp / med(cv), med(ratios), mp / med(op), mp / med(vp),
        mp / med(ip), med(vp) / med(op)), flush=True)
PY

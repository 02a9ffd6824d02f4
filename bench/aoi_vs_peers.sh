#!/bin/bash
# The FG AOI kernels, and at 4096 x 4096 the whole-buffer work of BUFF OPS (in-place MIRROR
# and FLIP, ROT 90 / -90 / 30 degrees into a new block, JOIN RIGHT of a second buffer of the
# same size, RGB/BGR), beside their peers on the same seeded picture, in the same run, in
# megapixels per second of input (median of N calls):
#  - in process: bench_aoi against cv2.flip, cv2.rotate, cv2.warpAffine, cv2.resize of the
#    2 x 2 corners (INTER_LINEAR), cv2.hconcat and cv2.cvtColor BGRA2RGBA in OpenCV's Python
#    with cv2.setNumThreads(1);
#  - whole processes, net of a plain copy by the same tool: `vips flip|rot|rotate|join`
#    (VIPS_CONCURRENCY=1) and `convert -flop|-flip|-rotate|-sparse-color Bilinear`
#    (MAGICK_THREAD_LIMIT=1).
#
#   bench/aoi_vs_peers.sh [BENCH_AOI] [N]
set -euo pipefail
cd "$(dirname "$0")/.."
prog=$(realpath "${1:-build/bench/bench_aoi}")
n=${2:-7}
python3 - "$prog" "$n" "${TAV_PEER_PYTHON:-/usr/bin/python3}" <<'PY'
import os, statistics, subprocess, sys, tempfile, time
prog, n, peer = sys.argv[1], int(sys.argv[2]), sys.argv[3]
work = tempfile.mkdtemp(prefix="tav-aoi-peers-")
cv = os.path.join(work, "cv.py")
open(cv, "w").write("""import sys, time
import cv2, numpy as np
cv2.setNumThreads(1)
k, w, h, n = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = np.random.default_rng(20261207)
a = rng.integers(0, 256, (h, w, 4), dtype=np.uint8)
c = a[[0, -1]][:, [0, -1]].copy()
m = cv2.getRotationMatrix2D(((w - 1) / 2, (h - 1) / 2), -30, 1.0)
f = {"flip_h": lambda: cv2.flip(a, 1), "flip_v": lambda: cv2.flip(a, 0),
     "rot90": lambda: cv2.rotate(a, cv2.ROTATE_90_CLOCKWISE),
     "rotm90": lambda: cv2.rotate(a, cv2.ROTATE_90_COUNTERCLOCKWISE),
     "hconcat": lambda: cv2.hconcat([a, a]),
     "bgra2rgba": lambda: cv2.cvtColor(a, cv2.COLOR_BGRA2RGBA),
     "rot30": lambda: cv2.warpAffine(a, m, (w, h), flags=cv2.INTER_LINEAR),
     "corners": lambda: cv2.resize(c, (w, h), interpolation=cv2.INTER_LINEAR)}[k]
f()
for i in range(n):
    t = time.perf_counter(); f(); print(time.perf_counter() - t, flush=True)
""")
def med(lines):
    return statistics.median(float(x) for x in lines.split())
def ours(k, w, h):
    return med(subprocess.run([prog, k, str(w), str(h), str(n)], capture_output=True,
                              text=True, check=True).stdout)
def cv2t(k, w, h):
    r = subprocess.run([peer, cv, k, str(w), str(h), str(n)], capture_output=True, text=True)
    return med(r.stdout) if r.returncode == 0 else None
def proc(cmd, env):
    ts = []
    for i in range(max(3, n // 2)):
        t = time.perf_counter()
        subprocess.run(cmd, env=env, check=True, capture_output=True)
        ts.append(time.perf_counter() - t)
    return statistics.median(ts)
for w, h in ((1536, 1024), (4096, 4096)):
    mp = w * h / 1e6
    import random
    raw = os.path.join(work, f"p{w}.rgba")
    rnd = random.Random(20261207)
    open(raw, "wb").write(bytes(rnd.getrandbits(8) for _ in range(w * h * 4)) if w * h < 2e6
                          else os.urandom(w * h * 4))
    v = os.path.join(work, f"p{w}.v")
    subprocess.run(["vips", "rawload", raw, v, str(w), str(h), "4"], check=True)
    venv = dict(os.environ, VIPS_CONCURRENCY="1")
    menv = dict(os.environ, MAGICK_THREAD_LIMIT="1")
    o = os.path.join(work, "o.v")
    mi = f"rgba:{raw}"
    mo = os.path.join(work, "o.rgba")
    vcopy = proc(["vips", "copy", v, o], venv)
    mcopy = proc(["convert", "-size", f"{w}x{h}", "-depth", "8", mi, f"rgba:{mo}"], menv)
    rows = [("FILL CORNERS", "corners", "corners", None,
             ["-sparse-color", "Bilinear", f"0,0 black {w-1},0 red 0,{h-1} green {w-1},{h-1} blue"]),
            ("X & Y", "xy", "corners", None, None),
            ("MIRROR", "mirror", "flip_h", ["flip", v, o, "horizontal"], ["-flop"]),
            ("FLIP", "flip", "flip_v", ["flip", v, o, "vertical"], ["-flip"]),
            ("ROT 90", "rot90", "rot90", ["rot", v, o, "d90"], ["-rotate", "90"]),
            ("ROT '?' 30", "rot30", "rot30", ["rotate", v, o, "30"], ["-rotate", "30"])]
    if w == 4096:
        rows += [("BUF MIRROR", "mirror", "flip_h", ["flip", v, o, "horizontal"], None),
                 ("BUF FLIP", "flip", "flip_v", ["flip", v, o, "vertical"], None),
                 ("BUF ROT 90", "bufrot90", "rot90", ["rot", v, o, "d90"], None),
                 ("BUF ROT -90", "bufrotm90", "rotm90", ["rot", v, o, "d270"], None),
                 ("BUF ROT 30", "bufrot30", "rot30", ["rotate", v, o, "30"], None),
                 ("JOIN RIGHT", "join", "hconcat", ["join", v, v, o, "horizontal"], None),
                 ("RGB/BGR", "rgbbgr", "bgra2rgba", None, None)]
    for name, k, ck, vargs, margs in rows:
        us = mp / ours(k, w, h)
        c = cv2t(ck, w, h)
        line = f"{w}x{h} {name:12s} ours {us:9.1f} MP/s"
        line += f" | cv2 {mp / c:9.1f}" if c else " | cv2 n/a"
        if vargs:
            t = proc(["vips"] + vargs, venv) - vcopy
            line += f" | vips {mp / t:9.1f}" if t > 0 else " | vips (below copy)"
        if margs:
            t = proc(["convert", "-size", f"{w}x{h}", "-depth", "8", mi] + margs +
                     [f"rgba:{mo}"], menv) - mcopy
            line += f" | convert {mp / t:9.1f}" if t > 0 else " | convert (below copy)"
        print(line, flush=True)
PY

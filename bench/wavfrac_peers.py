# The Python peers of the wavelet and fractal benchmark, each timed here per run after one
# warm-up run, one time in seconds per line of output.
#   wavfrac_peers.py swt2 BAND.f32 SIDE WAVELET LEVELS RUNS
#       pywt.swt2 of a SIDE x SIDE float32 band (four bands per level, as pywt computes them)
#   wavfrac_peers.py mandel X0 Y0 X1 Y1 WIDTH HEIGHT N T RUNS [COUNTS.i32]
#       escape-time counts of the Mandelbrot set in numpy with the benchmark's arithmetic:
#       x advances by repeated addition of dx, y = y0 + r dy, z <- z^2 + p in float64 written
#       as (zr zr - zi zi) + x and (zr zi + zr zi) + y, escape when zr^2 + zi^2 >= T after an
#       update, at most N - 1 updates; the counts of the first run are written when asked.
import sys
import time

import numpy as np


def swt2(path, side, wavelet, levels, runs):
    import pywt

    band = np.fromfile(path, dtype=np.float32).reshape(side, side)

    def once():
        return pywt.swt2(band, wavelet, level=levels, start_level=0, trim_approx=True)

    once()
    for _ in range(runs):
        t = time.perf_counter()
        once()
        print(time.perf_counter() - t, flush=True)


def mandel_counts(x0, y0, x1, y1, w, h, n, term):
    dx = (x1 - x0) / w
    dy = (y1 - y0) / h
    xs = np.empty(w)
    x = x0
    for i in range(w):
        xs[i] = x
        x += dx
    ys = y0 + np.arange(h, dtype=np.float64) * dy
    cr = np.tile(xs, h)
    ci = np.repeat(ys, w)
    counts = np.full(w * h, n - 1, dtype=np.int32)
    idx = np.arange(w * h)
    zr = np.zeros(w * h)
    zi = np.zeros(w * h)
    for k in range(n - 1):
        p = zr * zi
        zr = (zr * zr - zi * zi) + cr
        zi = (p + p) + ci
        esc = zr * zr + zi * zi >= term
        if esc.any():
            counts[idx[esc]] = k
            keep = ~esc
            zr, zi, cr, ci, idx = zr[keep], zi[keep], cr[keep], ci[keep], idx[keep]
            if idx.size == 0:
                break
    return counts


def mandel(args):
    x0, y0, x1, y1 = (float(a) for a in args[:4])
    w, h, n = (int(a) for a in args[4:7])
    term, runs = float(args[7]), int(args[8])
    counts = mandel_counts(x0, y0, x1, y1, w, h, n, term)
    if len(args) > 9:
        counts.tofile(args[9])
    for _ in range(runs):
        t = time.perf_counter()
        mandel_counts(x0, y0, x1, y1, w, h, n, term)
        print(time.perf_counter() - t, flush=True)


if sys.argv[1] == "swt2":
    swt2(sys.argv[2], int(sys.argv[3]), sys.argv[4], int(sys.argv[5]), int(sys.argv[6]))
else:
    mandel(sys.argv[2:])

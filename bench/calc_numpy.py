# The numpy peer of the calculator benchmark: the same lines on packed uint32 pixels (blue,
# green, red, alpha bytes from the low end) and an int32 accumulator, timed here per run
# after one warm-up run, one time in seconds per line of output.
#   calc_numpy.py PIXELS.u32 ACC.i32 LINE RUNS
import sys
import time

import numpy as np

pix = np.fromfile(sys.argv[1], dtype=np.uint32)
acc = np.fromfile(sys.argv[2], dtype=np.int32).view(np.uint32)
line, runs = sys.argv[3], int(sys.argv[4])
p = pix.copy()


def mean_rg():  # R G + 2 / : B
    r = (p >> 16) & 0xFF
    g = (p >> 8) & 0xFF
    v = (r + g) // 2
    np.bitwise_or(p & 0xFFFFFF00, v & 0xFF, out=p)


def five_ops():  # R G + B + 3 * 4 / 255 & : G
    r = (p >> 16) & 0xFF
    g = (p >> 8) & 0xFF
    b = p & 0xFF
    v = ((((r + g) + b) * 3) // 4) & 255
    np.bitwise_or(p & 0xFFFF00FF, v << 8, out=p)


def mean_acc():  # R @1R + 2 / : B
    r = (p >> 16) & 0xFF
    v = (r + acc) // 2
    np.bitwise_or(p & 0xFFFFFF00, v & 0xFF, out=p)


def five_acc():  # R @1R + G + 3 * 4 / 255 & : G
    r = (p >> 16) & 0xFF
    g = (p >> 8) & 0xFF
    v = ((((r + acc) + g) * 3) // 4) & 255
    np.bitwise_or(p & 0xFFFF00FF, v << 8, out=p)


f = {"mean": mean_rg, "five": five_ops, "meanacc": mean_acc, "fiveacc": five_acc}[line]
f()
for i in range(runs):
    t = time.perf_counter()
    f()
    print(time.perf_counter() - t, flush=True)

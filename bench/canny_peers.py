# The in-process peers of the Canny and MSRCR benchmark, timed here per run after one warm-up
# run, one time in seconds per line of output, on one thread:
#   canny_peers.py canny GREY.pgm RUNS   cv2.Canny on the grey picture (thresholds 50, 150)
#   canny_peers.py msrcr RGB.ppm RUNS    MSRCR in numpy with cv2.GaussianBlur at the scales
#                                        2, 82, 162, variance 1.2, the same steps as ours
import sys
import time

import cv2
import numpy as np

cv2.setNumThreads(1)
mode, path, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])


def msrcr(img):
    a = img + 1.0
    la = np.log(a)
    m = np.zeros_like(a)
    for s in (2.0, 82.0, 162.0):
        m += (la - np.log(cv2.GaussianBlur(a, (0, 0), s))) / 3.0
    t = img.sum(axis=2, keepdims=True)
    m *= np.log(128.0 * a) - np.log(t + 3.0)
    mean, sd = float(m.mean()), float(m.std())
    lo, width = mean - 1.2 * sd, 2.4 * sd or 1.0
    return np.clip(np.trunc(255.0 * (m - lo) / width), 0, 255).astype(np.uint8)


if mode == "canny":
    grey = cv2.imread(path, cv2.IMREAD_GRAYSCALE)

    def step():
        cv2.Canny(grey, 50, 150)
else:
    rgb = cv2.imread(path, cv2.IMREAD_COLOR)[:, :, ::-1].astype(np.float32)

    def step():
        msrcr(rgb)

if mode == "canny":
    step()
for i in range(runs):
    t = time.perf_counter()
    step()
    print(time.perf_counter() - t, flush=True)

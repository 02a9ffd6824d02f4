#!/usr/bin/env bash
# Installs the benchmark peers (OpenCV for Python, NumPy, pywt, libvips' tools, ImageMagick),
# builds the benchmark programs and runs them, both sides timed the same way (in process, and
# as whole processes) on the same seeded pictures: the loads, the HDR render and statistics
# passes, the calculator, the LUT table pass, a pan step, WARP, saving, the display and pixel
# operations, the HDR scaling menu's re-render, wavelets and the Mandelbrot set, Canny and the
# retinex, bulkseal beside openssl, the AOI and whole-buffer geometry, the convolution engine,
# then the time to first picture of tav on a private Xvfb. Run as root or with sudo. The test
# command never installs these.
#   scripts/bench.sh [google-benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --bench

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTAV_BENCH=ON -DTAV_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)"

# The in-process loads write their diagnostics to standard error at every iteration.
for b in bench_readers bench_readers2 bench_load bench_hdrscale bench_hdrstats bench_bulkseal bench_calc \
    bench_lut bench_pan bench_warp bench_save bench_disp bench_hdrmenu bench_pixops bench_wavfrac; do
    echo "== $b"
    build-bench/bench/$b "$@" 2>/dev/null
done
echo "== bench_canny (Canny per gun beside cv2.Canny and vips canny; MSRCR beside numpy+cv2 and vips)"
build-bench/bench/bench_canny "$@" 2>/dev/null
echo "== bulkseal beside openssl enc (whole processes, 256 MiB in /dev/shm)"
bench/bulkseal_vs_openssl.sh build-bench/tools/bulkseal/bulkseal
echo "== AOI and whole-buffer geometry beside OpenCV, libvips and ImageMagick"
bench/aoi_vs_peers.sh build-bench/bench/bench_aoi
echo "== convolution beside cv2.filter2D, cv2.medianBlur, libvips and ImageMagick"
bench/conv_vs_peers.sh build-bench/bench/bench_conv
echo "== time to first picture"
bench/first-picture.sh build-bench/app/tav

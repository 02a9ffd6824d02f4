#!/bin/sh
# Runs bench_lut_x (a CYCLE step's repaint of a 1536 x 1024 view through the X transfer) on a
# private Xvfb of 1920 x 1280 x 24 (room for the whole view).
#   bench/lut-x.sh [BUILD_DIR] [benchmark options...]
set -eu
build=${1:-build}
[ $# -gt 0 ] && shift
bin="$build/bench/bench_lut_x"
[ -x "$bin" ] || { echo "no $bin: configure with -DTAV_BENCH=ON and build bench_lut_x" >&2; exit 1; }
for n in $(seq 30 90); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
done
Xvfb ":$n" -screen 0 1920x1280x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
home=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$home"' EXIT
for _ in $(seq 100); do xdpyinfo -display ":$n" >/dev/null 2>&1 && break; sleep 0.05; done
DISPLAY=":$n" HOME="$home" "$bin" "$@"

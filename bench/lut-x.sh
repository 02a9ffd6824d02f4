#!/bin/sh
# Runs bench_lut_x (a CYCLE step's repaint of a 1536 x 1024 view through the X transfer) on a
# private Xvfb of 1920 x 1280 x 24 (room for the whole view).
#   bench/lut-x.sh [BUILD_DIR] [benchmark options...]
set -eu
build=${1:-build}
[ $# -gt 0 ] && shift
bin="$build/bench/bench_lut_x"
[ -x "$bin" ] || { echo "no $bin: configure with -DTAV_BENCH=ON and build bench_lut_x" >&2; exit 1; }
. "$(dirname "$0")/private-xvfb.sh"
start_private_xvfb 1920x1280x24
DISPLAY=":$n" HOME="$home" "$bin" "$@"

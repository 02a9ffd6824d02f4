#!/bin/bash
# Spatial convolution beside its peers, in megapixels per second, in one run: bench_conv's rows
# (our engine over a whole 4096 x 4096 buffer, cv2.filter2D and cv2.medianBlur on one thread in
# their own Python, `vips conv|rank|sobel` and ImageMagick `-morphology Convolve` and
# `-statistic Median` as whole processes net of their plain copies), each repeated and reported
# as medians so that a busy machine slows the sides alike.
#
#   bench/conv_vs_peers.sh [BENCH_CONV] [REPETITIONS] [google-benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/.."
prog=$(realpath "${1:-build/bench/bench_conv}")
reps=${2:-3}
shift $(($# > 2 ? 2 : $#))
"$prog" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_counters_tabular=true "$@" 2>/dev/null | grep -E "Benchmark|median|^-"

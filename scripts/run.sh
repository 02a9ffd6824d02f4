#!/usr/bin/env bash
# Sets up and starts tav: installs the packages it needs, builds it in Release and runs it
# (on the bundled sample image unless arguments are given). Without an X display it starts
# a virtual one (Xvfb) and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTAV_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    for n in $(seq 20 60); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
    done
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    echo "No X display was available: tav runs on a virtual display (Xvfb) at $DISPLAY."
    echo "Take a screenshot of it with, for example: import -display $DISPLAY -window root shot.png"
fi

args=("$@")
if [ "${#args[@]}" -eq 0 ] && [ -f samples/tav-sample.png ]; then args=(samples/tav-sample.png); fi
build-release/app/tav "${args[@]}"

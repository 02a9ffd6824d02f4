# Sourced by the benchmark scripts that need a display: starts a private Xvfb on the first free
# display number from :30 with the screen given as $1 (WxHxD), waits until it answers, and
# leaves its number in $n and a fresh HOME for the program in $home. Both go when the script
# exits.
start_private_xvfb() {
    for n in $(seq 30 90); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
    done
    Xvfb ":$n" -screen 0 "$1" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    home=$(mktemp -d)
    trap 'kill $xvfb 2>/dev/null || true; rm -rf "$home"' EXIT
    for _ in $(seq 100); do xdpyinfo -display ":$n" >/dev/null 2>&1 && break; sleep 0.05; done
}

#!/usr/bin/env bash
# Installs the Debian packages tav and bulkseal need to build (and, with --test, to run the
# whole test suite; with --bench, also the benchmarks' peers). Run as root or with sudo.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

build_pkgs=(
    build-essential cmake pkg-config
    libx11-dev libxt-dev libmotif-dev libxft-dev libfontconfig-dev
    libpng-dev libjpeg62-turbo-dev libtiff-dev libopenjp2-7-dev libssl-dev
    libcfitsio-dev libwebp-dev libavif-dev
    xvfb x11-utils xauth fonts-dejavu-core xfonts-base fonts-liberation fonts-dancingscript
)
test_pkgs=(
    googletest libgtest-dev libgmock-dev libbenchmark-dev libxtst-dev
    clang-format netpbm imagemagick libjpeg-turbo-progs libtiff-tools libopenjp2-tools openssl
    file binutils libcfitsio-bin webp libavif-bin python3-pywt
)

# Peers the benchmarks compare against: only scripts/bench.sh asks for them.
bench_pkgs=(python3-opencv python3-numpy python3-pywt libvips-tools imagemagick)

pkgs=("${build_pkgs[@]}")
for a in "$@"; do
    case "$a" in
    --test) pkgs+=("${test_pkgs[@]}") ;;
    --bench) pkgs+=("${test_pkgs[@]}" "${bench_pkgs[@]}") ;;
    esac
done

missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

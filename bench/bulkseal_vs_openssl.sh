#!/bin/bash
# Wall time of whole bulkseal processes beside `openssl enc -aes-256-cbc` on the same file, in
# the same run. The runs are interleaved round by round (bulkseal -e, openssl enc, bulkseal -d,
# openssl enc -d), so a shared, busy machine slows both sides alike; the medians and the spread
# of each are printed, with the ratio of medians and the median of the per-round ratios.
#
#   bench/bulkseal_vs_openssl.sh BULKSEAL [ROUNDS] [MIB] [DIR]
#
# ROUNDS defaults to 9, MIB to 256, DIR to /dev/shm (files in memory, so that the figures
# measure the programs rather than the disk). BASELINE=/path/to/other/bulkseal adds a third
# column timed the same way, to compare two builds of bulkseal.
set -euo pipefail

bulkseal=$(realpath "${1:?usage: $0 BULKSEAL [ROUNDS] [MIB] [DIR]}")
rounds=${2:-9}
mib=${3:-256}
base=${4:-/dev/shm}
baseline=${BASELINE:+$(realpath "$BASELINE")}

key="'bench key text'"
# Raw AES material for openssl: key derivation is not what is measured.
aeskey=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
aesiv=0f0e0d0c0b0a09080706050403020100

work=$(mktemp -d "$base/bulkseal-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c "$((mib << 20))" /dev/urandom >data.bin
echo data.bin | "$bulkseal" -e -k "$key" 2>/dev/null
mv 'data#.bin' 'sealed#.bin'
openssl enc -aes-256-cbc -K $aeskey -iv $aesiv -in data.bin -out data.ossl

# Seconds of wall time of one command, its output file removed before it starts.
timed() {
    local output=$1
    shift
    rm -f "$output"
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 </dev/null || {
        echo "failed: $*" >&2
        exit 1
    }
    t1=$(date +%s%N)
    rm -f "$output"
    echo "$(((t1 - t0) / 1000000))"
}
bs_enc() { echo data.bin | "$1" -e -k "$key"; }
bs_dec() { echo 'sealed#.bin' | "$1" -d -k "$key"; }
export -f bs_enc bs_dec
export key

declare -A ms
for ((r = 0; r < rounds; r++)); do
    ms[bs_e]+="$(timed 'data#.bin' bash -c 'bs_enc "$0"' "$bulkseal") "
    ms[os_e]+="$(timed out.ossl openssl enc -aes-256-cbc -K $aeskey -iv $aesiv -in data.bin -out out.ossl) "
    if [[ -n $baseline ]]; then
        ms[bl_e]+="$(timed 'data#.bin' bash -c 'bs_enc "$0"' "$baseline") "
    fi
    ms[bs_d]+="$(timed sealed.bin bash -c 'bs_dec "$0"' "$bulkseal") "
    ms[os_d]+="$(timed out.bin openssl enc -d -aes-256-cbc -K $aeskey -iv $aesiv -in data.ossl -out out.bin) "
    if [[ -n $baseline ]]; then
        ms[bl_d]+="$(timed sealed.bin bash -c 'bs_dec "$0"' "$baseline") "
    fi
done

# median, min, max of a list of numbers
stats() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{v[NR] = $1} END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%7.0f %7d %7d", m, v[1], v[NR] }'; }
median() { stats "$1" | awk '{print $1}'; }
# median of the per-round ratios a/b
ratios() { paste <(tr ' ' '\n' <<<"$1" | grep .) <(tr ' ' '\n' <<<"$2" | grep .) |
    awk '{print $1 / $2}' | sort -n | awk '{v[NR] = $1} END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.2f (%.2f-%.2f)", m, v[1], v[NR] }'; }

echo "$mib MiB in $base, $rounds interleaved rounds, wall ms of whole processes"
printf '%-22s %7s %7s %7s  %s\n' "" median min max "MB/s at median"
row() { printf '%-22s %s  %.0f\n' "$1" "$(stats "$2")" "$(awk -v m="$(median "$2")" -v b="$mib" \
    'BEGIN {print b * 1048576 / 1e6 / (m / 1000)}')"; }
row "bulkseal -e" "${ms[bs_e]}"
row "openssl enc" "${ms[os_e]}"
[[ -n $baseline ]] && row "baseline bulkseal -e" "${ms[bl_e]}"
row "bulkseal -d" "${ms[bs_d]}"
row "openssl enc -d" "${ms[os_d]}"
[[ -n $baseline ]] && row "baseline bulkseal -d" "${ms[bl_d]}"
echo "bulkseal/openssl, encrypt: medians $(awk -v a="$(median "${ms[bs_e]}")" \
    -v b="$(median "${ms[os_e]}")" 'BEGIN {printf "%.2f", a / b}'), per round $(ratios "${ms[bs_e]}" "${ms[os_e]}")"
echo "bulkseal/openssl, decrypt: medians $(awk -v a="$(median "${ms[bs_d]}")" \
    -v b="$(median "${ms[os_d]}")" 'BEGIN {printf "%.2f", a / b}'), per round $(ratios "${ms[bs_d]}" "${ms[os_d]}")"
if [[ -n $baseline ]]; then
    echo "bulkseal/baseline, encrypt per round $(ratios "${ms[bs_e]}" "${ms[bl_e]}"), decrypt per round $(ratios "${ms[bs_d]}" "${ms[bl_d]}")"
fi

#!/bin/sh
# The libvips peer of the MSRCR benchmark as whole processes on one worker: the same steps as
# ours (scales 2, 82, 162, colour restoration, a stretch of 1.2 standard deviations) on
# DIR/plasma.v, float throughout, the Gaussians cut at 1% of their peak (about 3 sigma).
#   msrcr_vips.sh DIR
set -e
cd "$1"
export VIPS_CONCURRENCY=1
vips linear plasma.v a.v 1 1
vips math a.v la.v log
for s in 2 82 162; do
    vips gaussblur a.v b.v "$s" --precision float --min-ampl 0.01
    vips math b.v "lb$s.v" log
done
vips add lb2.v lb82.v t1.v
vips add t1.v lb162.v t2.v
vips linear -- t2.v t3.v -0.3333333333333333 0
vips add la.v t3.v m.v
vips bandmean a.v bm.v
vips linear bm.v t4.v 3 0
vips math t4.v lt.v log
vips linear la.v c.v 1 4.852030263919617
vips subtract c.v lt.v cr.v
vips multiply m.v cr.v r.v
mean=$(vips avg r.v)
sd=$(vips deviate r.v)
set -- $(awk -v m="$mean" -v d="$sd" 'BEGIN { w = 2.4 * d; if (w == 0) w = 1;
    printf "%.10g %.10g", 255 / w, -(m - 1.2 * d) * 255 / w }')
vips linear --uchar -- r.v out.v "$1" "$2"
rm -f a.v la.v b.v lb2.v lb82.v lb162.v t1.v t2.v t3.v m.v bm.v t4.v lt.v c.v cr.v r.v out.v

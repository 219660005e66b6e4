#!/usr/bin/env bash
# Percolation of a film periodic in its plane: planar fibers of length L = 1 µm in a box of
# 10 µm × 10 µm × D (D = 50 nm, the diameter, so that two fibers whose projections cross always
# touch), periodic along x and y. For each count, the share of seeds whose network wraps around x,
# against n L² (n = count / area), with the threshold of random sticks in the plane, n L² ≈ 5.64.
# Usage: bench/film_percolation.sh [BUILD_BIN_DIR] out.png
set -euo pipefail
export LC_ALL=C
bin=${1:-build/release/bin}
out=${2:-docs/film-percolation.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seeds=16
for n in $(seq 300 50 900); do
  wraps=0
  for seed in $(seq 1 "$seeds"); do
    "$bin/mikado" --no-view -n "$n" -l 1e-6 -d 5e-8 --box 1e-5,1e-5,5e-8 --periodic xy \
      --orientation planar -s "$seed" --json "$work/r.json" >/dev/null
    wraps=$((wraps + $(/usr/bin/python3 -c 'import json, sys
print(int(json.load(open(sys.argv[1]))["results"]["spanning"]["x"]))' "$work/r.json")))
  done
  echo "$(awk -v n="$n" 'BEGIN { print n * 1e-12 / 1e-10 }') $(awk -v w="$wraps" -v s="$seeds" 'BEGIN { print w / s }')"
done >"$work/film.dat"
gnuplot <<GP
set terminal pngcairo size 900,640 enhanced font 'DejaVu Sans,15' linewidth 1.5
set output '$out'
set grid lc rgb '#dddddd'
set xlabel 'n L^2 (fibers per area × length^2)'
set ylabel 'share of networks wrapping around x'
set yrange [-0.03:1.03]
set key top left box opaque
set arrow from 5.64, graph 0 to 5.64, graph 1 nohead dt 2 lc rgb '#555555'
set title 'Film periodic in its plane: percolation of planar fibers ($seeds seeds each)'
plot '$work/film.dat' using 1:2 with linespoints pt 7 ps 1.3 lc rgb '#1f4e9c' title 'mikado', \
     NaN with lines dt 2 lc rgb '#555555' title 'sticks in the plane, n_c L^2 = 5.64'
GP

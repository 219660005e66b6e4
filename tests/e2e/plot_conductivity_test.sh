#!/usr/bin/env bash
# scripts/plot-conductivity on a sweep written here whose mean conductivity is exactly
# 3e6 (x - 0.5)^1.7 above x = n D L^2 = 0.5 and 0 below (two repeats around each mean): the fit
# must give back t and x_c, from columns found by name, leaving out a capped row far off the law.
# scripts/plot-sweep on the same sweep draws this figure beside its own and prints the same fit.
# Usage: plot_conductivity_test.sh plot-conductivity plot-sweep
set -uo pipefail
plot=$1
sweep=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export LC_ALL=C
# x = count / 1e-18 * 1e-9 * 1e-14 = count / 1e5. The columns plot-sweep needs are all there,
# conductivity last as mikado-longrun writes it. plain.csv: the same without the capped row and
# without the capacity_reached column, as older sweeps have it.
awk -v plain="$work/plain.csv" 'BEGIN {
  head = "box,count,extra,diameter,length,periodic,seed,repeat,volume_fraction,contacts," \
         "contacts_per_fiber,theory_contacts,clusters,largest_cluster,spanning_x,spanning_y," \
         "spanning_z"
  print head ",capacity_reached,conductivity"
  print head ",conductivity" > plain
  rest = "0,1,0,0.01,100,1,100,1,10,1,1,1"
  for (c = 30000; c <= 150000; c += 10000) {
    x = c / 1e5; s = x > 0.5 ? 3e6 * (x - 0.5) ^ 1.7 : 0
    for (k = 0.9; k < 1.2; k += 0.2) {
      printf "1e-06,%d,9,1e-09,1e-07,%s,0,%.17g\n", c, rest, s * k
      printf "1e-06,%d,9,1e-09,1e-07,%s,%.17g\n", c, rest, s * k > plain
    }
  }
  printf "1e-06,100000,9,1e-09,1e-07,%s,1,1e12\n", rest
}' >"$work/sweep.csv"
mkdir "$work/cwd"
out=$(cd "$work/cwd" && "$plot" "$work/sweep.csv" "$work/out.png") || fail "plot failed"
[[ -s $work/out.png ]] || fail "no picture"
[[ -z $(ls -A "$work/cwd") ]] || fail "left files in the working directory: $(ls -A "$work/cwd")"
read -r _ t _ xc <<<"$out"
awk -v t="$t" -v xc="$xc" 'BEGIN { exit !(t > 1.69 && t < 1.71 && xc > 0.49 && xc < 0.51) }' ||
  fail "fitted t $t, x_c $xc"
plain=$("$plot" "$work/plain.csv" "$work/plain.png") || fail "plot of plain.csv failed"
[[ $plain == "$out" ]] || fail "without capacity_reached: '$plain', with it: '$out'"

# plot-sweep, on the sweep with Windows line ends.
sed 's/$/\r/' "$work/sweep.csv" >"$work/crlf.csv"
swept=$("$sweep" "$work/crlf.csv" "$work/sweep.png" 2>"$work/sweep.err") ||
  fail "plot-sweep failed: $(cat "$work/sweep.err")"
[[ -s $work/sweep.png && -s $work/sweep-conductivity.png ]] || fail "plot-sweep drew $(ls "$work")"
[[ $swept == "$out" ]] || fail "plot-sweep printed '$swept', plot-conductivity '$out'"
echo "plot-conductivity: ok ($out)"

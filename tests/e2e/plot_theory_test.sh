#!/usr/bin/env bash
# scripts/plot-theory on two small sweeps written here: each file is one series named by its
# orientation (isotropic without the column), each (count, length, diameter) one point at the
# theory's z = 2 theory_contacts / count against the mean measured z, capped rows left out.
# Usage: plot_theory_test.sh plot-theory
set -uo pipefail
plot=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export LC_ALL=C

# Columns out of the sweep's order, and an unused one: they are found by name.
cat >"$work/planar.csv" <<CSV
theory_contacts,count,extra,contacts_per_fiber,length,diameter,capacity_reached,orientation
500,1000,7,1.1,2e-07,5e-09,0,planar
500,1000,7,0.9,2e-07,5e-09,0,planar
500,1000,7,9.9,2e-07,5e-09,1,planar
4000,2000,7,4.2,2e-07,5e-09,0,planar
CSV
cat >"$work/plain.csv" <<CSV
count,length,diameter,contacts_per_fiber,theory_contacts
100,2e-07,5e-09,0.5,30
CSV
PLOT_THEORY_KEEP=$work/keep "$plot" "$work/out.png" "$work/planar.csv" "$work/plain.csv" ||
  fail "plot failed"
[[ $(head -c 4 "$work/out.png" | od -An -c | tr -d ' ') == *PNG* ]] || fail "not a PNG"
[[ $(cat "$work/keep/title-1.txt") == planar ]] || fail "title 1: $(cat "$work/keep/title-1.txt")"
[[ $(cat "$work/keep/title-2.txt") == isotropic ]] || fail "title 2: $(cat "$work/keep/title-2.txt")"
# Mean of 1.1 and 0.9 (the capped 9.9 left out), standard error 0.1, 2 repeats.
expected=$'1 1 0.1 2\n4 4.2 0 1'
[[ $(cat "$work/keep/series-1.dat") == "$expected" ]] || fail "series 1: $(cat "$work/keep/series-1.dat")"
[[ $(cat "$work/keep/series-2.dat") == "0.6 0.5 0 1" ]] || fail "series 2: $(cat "$work/keep/series-2.dat")"
"$plot" "$work/bad.png" "$work/missing.csv" 2>/dev/null && fail "a missing file plotted"
[[ -e $work/bad.png ]] && fail "a failed plot left a file"
echo "plot-theory: ok"

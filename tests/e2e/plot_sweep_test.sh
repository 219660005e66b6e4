#!/usr/bin/env bash
# scripts/plot-sweep on a small sweep: a PNG for both boxes and for one box alone; a malformed
# CSV or missing arguments fail without leaving an output file.
# Usage: plot_sweep_test.sh plot-sweep sample.csv
set -uo pipefail
plot=$1
sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

is_png() { [[ $(head -c 8 "$1" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]]; }

"$plot" "$sample" "$work/both.png" 2>"$work/err" || fail "plot of the sample"
[[ -s $work/err ]] && fail "warnings: $(cat "$work/err")"
is_png "$work/both.png" || fail "both.png is not a PNG"

# Periodic rows only: the open box's series must be left out, not plotted empty.
awk -F, 'NR == 1 || $5 == 1' "$sample" >"$work/periodic.csv"
"$plot" "$work/periodic.csv" "$work/periodic.png" 2>"$work/err" || fail "plot of periodic rows only"
[[ -s $work/err ]] && fail "warnings: $(cat "$work/err")"
is_png "$work/periodic.png" || fail "periodic.png is not a PNG"

sed '1s/contacts_per_fiber/z/' "$sample" >"$work/bad.csv"
"$plot" "$work/bad.csv" "$work/bad.png" 2>/dev/null && fail "accepted a wrong header"
[[ -e $work/bad.png ]] && fail "left an output file for a wrong header"

"$plot" "$sample" 2>/dev/null
[[ $? -eq 2 ]] || fail "missing argument: exit status is not 2"
echo "plot-sweep: ok"

#!/usr/bin/env bash
# scripts/plot-sweep on a small sweep of two fiber shapes in both boxes. The plotted series are
# read back through gnuplot itself (its table output of the kept plot commands): one series per
# shape and box, titled by aspect ratio, holding only that shape's groups. Columns are found by
# name, capped rows are left out, and bad input fails without leaving an output file.
# Usage: plot_sweep_test.sh plot-sweep sample.csv
set -uo pipefail
plot=$1
sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export LC_ALL=C

is_png() { [[ $(head -c 8 "$1" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]]; }

# Plots CSV $1 as NAME $2 and leaves gnuplot's reading of it in $work/$2.points, one line per
# plotted point: title|x|y. Standard error goes to $work/$2.err.
plot_points() {
  PLOT_SWEEP_KEEP=$work/keep-$2 "$plot" "$1" "$work/$2.png" 2>"$work/$2.err" ||
    fail "$2: plot failed: $(cat "$work/$2.err")"
  is_png "$work/$2.png" || fail "$2.png is not a PNG"
  gnuplot -e "set terminal dumb; set output '/dev/null'; set table '$work/$2.table'" "$work/keep-$2/plot.gp" ||
    fail "$2: gnuplot cannot replay the kept commands"
  awk '/^# Curve title: / { sub(/^# Curve title: "/, ""); sub(/"$/, ""); title = $0; next }
       /^#/ || NF == 0 { next }
       { printf "%s|%.4g|%.4g\n", title, $1, $2 }' "$work/$2.table" >"$work/$2.points"
}
titles() { cut -d'|' -f1 "$work/$1.points" | uniq; }

# --- Series per shape and box, in both panels.
plot_points "$sample" both
[[ -s $work/both.err ]] && fail "warnings: $(cat "$work/both.err")"
expected_titles="L/D 10, open
L/D 10, periodic
L/D 20, open
L/D 20, periodic"
[[ $(titles both | grep -v '^z = ' | grep -v 'axis$') == "$expected_titles" ]] ||
  fail "z panel series: $(titles both)"
[[ $(titles both | sed -n 's/, any axis$//p') == "$expected_titles" ]] ||
  fail "spanning panel series: $(titles both)"
[[ $(titles both | sed -n 's/, per axis$//p') == "$expected_titles" ]] ||
  fail "spanning panel, per axis series: $(titles both)"
# Each series holds exactly the groups of its own shape and box: x = n·D·L², mean z, and the
# share of repeats spanning any axis, computed here from the sample's rows.
awk -F, 'NR > 1 {
    key = $2 FS $3 FS $5 FS $1 FS $4
    reps[key]++; z[key] += $10; any[key] += ($14 + $15 + $16) > 0
  }
  END {
    for (key in reps) {
      split(key, f, FS)
      title = "L/D " f[1] / f[2] (f[3] ? ", periodic" : ", open")
      x = f[4] / f[5] ^ 3 * f[2] * f[1] ^ 2
      printf "%s|%.4g|%.4g\n", title, x, z[key] / reps[key]
      printf "%s, any axis|%.4g|%.4g\n", title, x, any[key] / reps[key]
    }
  }' "$sample" | sort >"$work/expected.points"
grep -v -e '^z = ' -e 'per axis|' "$work/both.points" | sort >"$work/plotted.points"
diff "$work/expected.points" "$work/plotted.points" >&2 || fail "series points differ (< expected, > plotted)"

# Two shapes of one aspect ratio (200 nm / 20 nm and 400 nm / 40 nm) are told apart by length.
awk -F, -v OFS=, 'NR > 1 && $2 == "4e-07" { $3 = "4e-08" } 1' "$sample" >"$work/same_ratio.csv"
plot_points "$work/same_ratio.csv" same_ratio
[[ $(titles same_ratio | grep -v '^z = ' | grep -v 'axis$') == "L/D 10, L 200 nm, open
L/D 10, L 200 nm, periodic
L/D 10, L 400 nm, open
L/D 10, L 400 nm, periodic" ]] || fail "series of one ratio: $(titles same_ratio)"

# --- Columns by name: reversed order, an unknown column in front and at the end, and an older
# CSV without capacity_reached all plot the same points.
awk -F, -v OFS=, '{ line = (NR == 1 ? "note" : "x"); for (i = NF; i >= 1; i--) line = line OFS $i
                    print line, (NR == 1 ? "later" : 7) }' "$sample" >"$work/reordered.csv"
plot_points "$work/reordered.csv" reordered
cmp -s "$work/both.points" "$work/reordered.points" || fail "reordered columns plot other points"
cut -d, -f1-16 "$sample" >"$work/older.csv"
plot_points "$work/older.csv" older
cmp -s "$work/both.points" "$work/older.points" || fail "a CSV without capacity_reached differs"

# --- A capped row is left out of the means, with one warning line: the plot is that of the
# sample without the row.
awk -F, -v OFS=, 'NR == 2 { $17 = 1 } 1' "$sample" >"$work/capped.csv"
sed 2d "$sample" >"$work/without_row.csv"
plot_points "$work/capped.csv" capped
plot_points "$work/without_row.csv" without_row
cmp -s "$work/capped.points" "$work/without_row.points" || fail "a capped row was averaged"
{ [[ $(wc -l <"$work/capped.err") -eq 1 ]] && grep -q '1 of 24 rows' "$work/capped.err"; } ||
  fail "warning for a capped row: $(cat "$work/capped.err")"
[[ -s $work/without_row.err ]] && fail "warnings: $(cat "$work/without_row.err")"
# Every row capped: nothing to plot.
awk -F, -v OFS=, 'NR > 1 { $17 = 1 } 1' "$sample" >"$work/all_capped.csv"
"$plot" "$work/all_capped.csv" "$work/all_capped.png" 2>/dev/null && fail "plotted only capped rows"
[[ -e $work/all_capped.png ]] && fail "left an output file for only capped rows"

# Periodic rows only: the open box's series must be left out, not plotted empty.
awk -F, 'NR == 1 || $5 == 1' "$sample" >"$work/periodic.csv"
plot_points "$work/periodic.csv" periodic
[[ -s $work/periodic.err ]] && fail "warnings: $(cat "$work/periodic.err")"
[[ $(titles periodic | grep -c open) -eq 0 ]] || fail "empty open series: $(titles periodic)"

# --- Bad input fails without an output file.
cut -d, -f1-14,16- "$sample" >"$work/no_spanning_y.csv"
"$plot" "$work/no_spanning_y.csv" "$work/bad.png" 2>"$work/err" && fail "accepted a missing column"
grep -q 'spanning_y' "$work/err" || fail "missing column not named: $(cat "$work/err")"
[[ -e $work/bad.png ]] && fail "left an output file for a missing column"

awk 'NR == 5 { $0 = $0 ",9" } 1' "$sample" >"$work/long_row.csv"
"$plot" "$work/long_row.csv" "$work/bad.png" 2>"$work/err" && fail "accepted a row with an extra field"
grep -q 'line 5' "$work/err" || fail "long row not named: $(cat "$work/err")"
[[ -e $work/bad.png ]] && fail "left an output file for a long row"

"$plot" "$sample" 2>/dev/null
[[ $? -eq 2 ]] || fail "missing argument: exit status is not 2"
echo "plot-sweep: ok"

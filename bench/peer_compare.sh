#!/usr/bin/env bash
# mikado's contact detection against its numpy/scipy peer (peer_contacts.py) on the same fibers:
# 10^4, 10^5 and 10^6 fibers at the default density, open and periodic box. mikado and the peer
# run alternately, three times each, and the fastest of each is kept, so the ratio is measured
# side by side on a machine whose load changes. mikado detects on every core, the peer on one
# (as cKDTree's query_pairs and numpy do).
# Usage: bench/peer_compare.sh [MIKADO]   (default: build/release/bin/mikado)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mikado=${1:-$here/../build/release/bin/mikado}
source "$here/../scripts/deps.sh"
need_packages python3-numpy python3-scipy
[[ -x $mikado ]] || { echo "peer_compare: no mikado at $mikado" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "seconds contacts" of mikado's JSON report.
from_json() {
  /usr/bin/python3 -c 'import json, sys; r = json.load(open(sys.argv[1]))
print(r["timings"]["detection_seconds"], r["results"]["contacts"])' "$1"
}
fastest() { sort -g | head -n 1; }
# One value when all the lines agree, else all of them: the counts must not change between runs.
same() { sort -u | paste -sd/; }

length=2e-7 diameter=2e-9 seed=-1
echo "| fibers | box | mikado s | peer s | peer ÷ mikado | contacts mikado | contacts peer |"
echo "|---:|---|---:|---:|---:|---:|---:|"
for n in 10000 100000 1000000; do
  side=$(awk -v n="$n" 'BEGIN { printf "%.3g", 2e-6 * (n / 1e4) ^ (1 / 3) }')
  for box in open periodic; do
    flag=() peer_flag=()
    if [[ $box == periodic ]]; then flag=(--periodic) peer_flag=(--periodic "$side"); fi
    : >"$work/mikado"
    : >"$work/peer"
    for run in 1 2 3; do
      out=()
      # The first run also writes the fibers; the files are written after detection is timed.
      [[ $run == 1 ]] && out=(--fibers-out "$work/f.csv")
      "$mikado" --no-view -n "$n" -l "$length" -d "$diameter" -s "$seed" --box "$side" \
        "${flag[@]}" "${out[@]}" --json "$work/r.json" >/dev/null
      from_json "$work/r.json" >>"$work/mikado"
      "$here/peer_contacts.py" "$work/f.csv" --diameter "$diameter" "${peer_flag[@]}" |
        awk '/^contacts / { c = $2 } /^seconds / { s = $2 } END { print s, c }' >>"$work/peer"
    done
    m=$(cut -d' ' -f1 "$work/mikado" | fastest)
    p=$(cut -d' ' -f1 "$work/peer" | fastest)
    ours=$(cut -d' ' -f2 "$work/mikado" | same)
    theirs=$(cut -d' ' -f2 "$work/peer" | same)
    awk -v n="$n" -v box="$box" -v m="$m" -v p="$p" -v a="$ours" -v b="$theirs" \
      'BEGIN { printf "| %d | %s | %.4f | %.3f | %.1f | %s | %s |\n", n, box, m, p, p / m, a, b }'
  done
done

#!/usr/bin/env bash
# mikado's contact detection against its numpy/scipy peer (peer_contacts.py) on the same fibers:
# 10^4, 10^5 and 10^6 fibers at the default density, open and periodic box. mikado and the peer
# run alternately, three times each, and the fastest of each is kept, so the ratio is measured
# side by side. mikado detects on every core, the peer on one (as cKDTree and numpy do).
# Usage: bench/peer_compare.sh [MIKADO]   (default: build/release/bin/mikado)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mikado=${1:-$here/../build/release/bin/mikado}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds_of() { /usr/bin/python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['timings']['detection_seconds'])" "$1"; }
fastest() { sort -g | head -n 1; }

echo "| fibers | box | mikado s | peer s | peer ÷ mikado | contacts mikado | contacts peer |"
echo "|---:|---|---:|---:|---:|---:|---:|"
for n in 10000 100000 1000000; do
  side=$(awk -v n="$n" 'BEGIN { printf "%.3g", 2e-6 * (n / 1e4) ^ (1 / 3) }')
  for box in open periodic; do
    flag=() peer_flag=()
    if [[ $box == periodic ]]; then flag=(--periodic) peer_flag=(--periodic "$side"); fi
    "$mikado" --no-view -n "$n" --box "$side" "${flag[@]}" --fibers-out "$work/f.csv" \
      --json "$work/r.json" >"$work/summary"
    ours=$(sed 's/.*number of contacts //' "$work/summary")
    : >"$work/mikado.s"
    : >"$work/peer.s"
    for _ in 1 2 3; do
      "$mikado" --no-view -n "$n" --box "$side" "${flag[@]}" --json "$work/r.json" >/dev/null
      seconds_of "$work/r.json" >>"$work/mikado.s"
      "$here/peer_contacts.py" "$work/f.csv" "${peer_flag[@]}" >"$work/peer"
      sed -n 's/^seconds //p' "$work/peer" >>"$work/peer.s"
    done
    theirs=$(sed -n 's/^contacts //p' "$work/peer")
    m=$(fastest <"$work/mikado.s")
    p=$(fastest <"$work/peer.s")
    awk -v n="$n" -v box="$box" -v m="$m" -v p="$p" -v a="$ours" -v b="$theirs" \
      'BEGIN { printf "| %d | %s | %.4f | %.4f | %.1f | %d | %d |\n", n, box, m, p, p / m, a, b }'
  done
done

#!/bin/sh
# Prints the scaling table (Markdown) at the default density, one fresh process per size.
# Usage: bench/scaling.sh [BUILD_BIN_DIR] [THREADS] [FIBERS...]; the sizes default to 10^4 to 10^7
# (10^8 takes about half a minute and 7 GB).
set -eu
bin=${1:-build/release/bin}
threads=${2:-$(nproc)}
[ $# -gt 2 ] && shift 2 || set -- 10000 100000 1000000 10000000
echo "| fibers | box side | placement s | detection s | total s | contacts | peak bytes per fiber |"
echo "|---:|---:|---:|---:|---:|---:|---:|"
for n in "$@"; do
  "$bin/contacts_scaling" "$n" "$threads" |
    awk '{ printf "| %d | %s | %.3f | %.3f | %.3f | %d | %d |\n", $1, $2, $3, $4, $5, $6, $7 }'
done

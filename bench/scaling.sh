#!/bin/sh
# Prints the scaling table (Markdown) for 10^4 to 10^7 fibers at the default density, one fresh
# process per size. Usage: bench/scaling.sh [BUILD_BIN_DIR] [THREADS]
set -eu
bin=${1:-build/release/bin}
threads=${2:-$(nproc)}
echo "| fibers | box side | placement s | detection s | total s | contacts | peak bytes per fiber |"
echo "|---:|---:|---:|---:|---:|---:|---:|"
for n in 10000 100000 1000000 10000000; do
  "$bin/contacts_scaling" "$n" "$threads" |
    awk '{ printf "| %d | %s | %.3f | %.3f | %.3f | %d | %d |\n", $1, $2, $3, $4, $5, $6, $7 }'
done

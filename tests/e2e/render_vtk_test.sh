#!/usr/bin/env bash
# scripts/render-vtk without an X display: a network of mikado's drawn on a private Xvfb, read
# back by VTK's PNG reader (size, and contacts in their green), and a network's current drawn
# with --color (the colour map's two ends and faint grey fibers); without Xvfb, one line and exit
# status 1; bad arguments and an array the file lacks, exit status 2; failures leave no output or
# temporary file.
# Usage: render_vtk_test.sh MIKADO render-vtk
set -uo pipefail
mikado=$1
render=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$mikado" --no-view -n 300 --box 1e-6 -s 5 --vtk "$work/net.vtk" >/dev/null ||
  fail "mikado did not write the network"
# Just above the threshold: 225 fibers on the clusters joining the electrodes, 143 of them
# carrying current over three decades, 307 none.
"$mikado" --no-view -n 450 --box 1e-6 -l 4e-7 -d 2e-8 -s 1 --conductance --resistivity 1e-8 \
  --vtk "$work/circuit.vtk" >/dev/null || fail "mikado did not write the circuit"

# Width, height, then counts of pixels between the axis cross in the lower left corner and the
# colour bar on the right: contact green (the fibers have no green in them), the dark violet and
# the orange of --color's map (each end of it, also in shadow) and the unlit faint grey.
read_png() {
  /usr/bin/python3 - "$1" <<'EOF'
import sys
import vtk
from vtk.util.numpy_support import vtk_to_numpy
reader = vtk.vtkPNGReader()
reader.SetFileName(sys.argv[1])
reader.Update()
image = reader.GetOutput()
width, height, _ = image.GetDimensions()
rgb = vtk_to_numpy(image.GetPointData().GetScalars())[:, :3].astype(int)
rgb = rgb.reshape(height, width, 3)[:, width // 5:width * 4 // 5].reshape(-1, 3)
r, g, b = rgb[:, 0], rgb[:, 1], rgb[:, 2]
green = (g > 180) & (r < 120) & (b < 120)
violet = (b > g + 25) & (r > g + 15)
orange = (g > b + 20) & (r > g + 20)
faint = (abs(r - g) <= 2) & (abs(g - b) <= 2) & (r >= 190) & (r <= 215)
print(width, height, *(int(pixels.sum()) for pixels in (green, violet, orange, faint)))
EOF
}

mkdir "$work/out"
env -u DISPLAY "$render" "$work/net.vtk" "$work/out/net.png" 640 480 2>"$work/err" ||
  fail "render without a display: $(cat "$work/err")"
read -r width height green _ < <(read_png "$work/out/net.png")
[[ "$width x $height" == "640 x 480" ]] || fail "picture is $width x $height, not 640 x 480"
# 8 contacts, discs some 8 pixels across at this size (a few hidden behind fibers).
((green >= 20)) || fail "only $green contact-green pixels"
[[ $(ls "$work/out") == net.png ]] || fail "left behind: $(ls "$work/out")"

# Current on a log scale: the strong paths violet, weak ones orange (a linear scale leaves all
# but the strongest fiber orange), those carrying none faint grey, and no contacts.
env -u DISPLAY "$render" --color current "$work/circuit.vtk" "$work/out/current.png" 640 480 \
  2>"$work/err" || fail "render by current: $(cat "$work/err")"
read -r width height green violet orange faint < <(read_png "$work/out/current.png")
[[ "$width x $height" == "640 x 480" ]] || fail "current picture is $width x $height"
((green == 0 && violet >= 2000 && orange >= 1000 && faint >= 500)) ||
  fail "by current: $green green, $violet violet, $orange orange, $faint faint grey pixels"
# An array the file does not hold: one line, exit status 2, nothing written.
env -u DISPLAY "$render" --color current "$work/net.vtk" "$work/out/none.png" 2>"$work/err"
[[ $? -eq 2 ]] || fail "coloured by an array the file lacks"
[[ $(wc -l <"$work/err") -eq 1 && $(cat "$work/err") == *"has no cell array 'current'"* ]] ||
  fail "array the file lacks: $(cat "$work/err")"
rm "$work/out/current.png"
[[ $(ls "$work/out") == net.png ]] || fail "left behind: $(ls "$work/out")"

# Without Xvfb on PATH: one line saying what is needed, no picture. A DISPLAY naming no server
# counts as none.
mkdir "$work/empty"
for display in unset :65000; do
  if [[ $display == unset ]]; then
    env -u DISPLAY PATH="$work/empty" "$render" "$work/net.vtk" "$work/none.png" 2>"$work/err"
  else
    [[ -e /tmp/.X11-unix/X65000 ]] && continue
    env DISPLAY=$display PATH="$work/empty" "$render" "$work/net.vtk" "$work/none.png" 2>"$work/err"
  fi
  status=$?
  [[ $status -eq 1 ]] || fail "no Xvfb, DISPLAY $display: exit status $status, not 1"
  [[ $(cat "$work/err") == "render-vtk: needs an X display or Xvfb (Debian package xvfb)" ]] ||
    fail "no Xvfb, DISPLAY $display: $(cat "$work/err")"
  [[ -e $work/none.png ]] && fail "no Xvfb: a picture was written"
done

# A file that is not a network, and an output that cannot be replaced: an existing picture is
# kept, and no temporary file is left.
echo old >"$work/out/keep.png"
echo "not a network" >"$work/bad.vtk"
env -u DISPLAY "$render" "$work/bad.vtk" "$work/out/keep.png" 2>"$work/err"
[[ $? -eq 1 ]] || fail "accepted a file that is not a network"
grep -q 'not a network' "$work/err" || fail "bad network: $(cat "$work/err")"
[[ $(cat "$work/out/keep.png") == old ]] || fail "overwrote the output for a bad network"
mkdir "$work/out/dir.png"
env -u DISPLAY "$render" "$work/net.vtk" "$work/out/dir.png" 64 64 2>"$work/err"
[[ $? -eq 1 ]] || fail "replaced a directory"
[[ $(ls "$work/out") == $'dir.png\nkeep.png\nnet.png' ]] || fail "left behind: $(ls "$work/out")"

for args in "" "$work/net.vtk" "$work/net.vtk $work/x.png 640" "$work/net.vtk $work/x.png 640 tall" \
  "$work/net.vtk $work/x.png 0 480" "$work/net.vtk $work/x.png --color" \
  "--colour current $work/net.vtk $work/x.png"; do
  # shellcheck disable=SC2086
  env -u DISPLAY "$render" $args 2>"$work/err"
  status=$?
  [[ $status -eq 2 ]] || fail "arguments '$args': exit status $status, not 2"
  grep -q '^usage: render-vtk \[--color ARRAY\] NETWORK.vtk OUT.png' "$work/err" ||
    fail "arguments '$args': $(cat "$work/err")"
done
[[ -e $work/x.png ]] && fail "bad arguments: a picture was written"
echo "render-vtk: ok"

#!/usr/bin/env bash
# Drives the complete mikado on the X display in DISPLAY as a user would: the summary line, the
# 800x800 window titled "TEST" and its picture, keypad keys, the wheel and key C changing the picture,
# Escape and a close request each ending the process with status 0, a larger --box wholly in view
# at the start, and without a display the summary and failure lines with status 255. With WINE
# given, the Windows build runs under it (an unmanaged Wine window: Wine draws the frame around
# the client area).
# Usage: mikado_e2e.sh PROGRAM SENDCLOSE EXPECTED_SUMMARY_FILE [WINE]
set -euo pipefail

program=$1 sendclose=$2 expected_file=$3 wine=${4:-}
expected=$(cat "$expected_file")
background='#FFF2CC'  # the viewer's clear colour (1.0, 0.95, 0.8)
if [ -n "$wine" ]; then
  # A caption of 22 px and a border of 3 px around the client area.
  client_x=3 client_y=22 outer=806x825
else
  client_x=0 client_y=0 outer=800x800
fi
limit=60  # seconds; a generous bound on every wait, not a timing requirement

for f in "$program" "$sendclose"; do
  [ -x "$f" ] || { echo "FAIL: not built: $f" >&2; exit 1; }
done

work=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/out "$work"/err; do [ -s "$f" ] && { echo "-- $f:" >&2; cat "$f" >&2; }; done
  exit 1
}

command=("$program")
[ -z "$wine" ] || command=("$wine" "$program")

# Starts the program with the options given and waits for its window to map; sets pid and window.
start() {
  : >"$work/out"
  timeout "$limit" "${command[@]}" "$@" >"$work/out" 2>"$work/err" </dev/null &
  pid=$!
  # Polled rather than --sync: a search aborts with BadWindow when another window (Wine makes
  # and drops some of its own) vanishes while it is being read.
  local deadline=$((SECONDS + limit))
  window=
  while [ -z "$window" ]; do
    window=$(xdotool search --name '^TEST$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    [ "$SECONDS" -lt "$deadline" ] || fail "no window titled TEST"
    sleep 0.1
  done
}

# Waits for the process to end and checks its status and its first two lines.
expect_exit() {
  local how=$1 status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "$how: exit status $status"
  tr -d '\r' <"$work/out" >"$work/lines"
  [ "$(sed -n 1p "$work/lines")" = "$expected" ] || fail "$how: the summary line is not first"
  grep -q '^PFD [1-9][0-9]*, .* OpenGL on .* ver\. .*\.$' <(sed -n 2p "$work/lines") ||
    fail "$how: no renderer line after the summary"
}

# The client area.
shot() {
  import -window root -crop "800x800+$client_x+$client_y" +repage "$1"
}

fingerprint() {
  convert "$1" rgb:- | md5sum | cut -d' ' -f1
}

# Takes screenshots until two in a row are the same, so no frame is still on its way.
stable_shot() {
  local out=$1 tries=0
  shot "$out"
  while true; do
    sleep 0.1
    shot "$work/next.png"
    [ "$(fingerprint "$work/next.png")" = "$(fingerprint "$out")" ] && return 0
    mv "$work/next.png" "$out"
    [ $((tries += 1)) -lt 50 ] || fail "the picture never settled"
  done
}

# Takes screenshots until one differs from the fingerprint given; the viewer draws a frame
# every 20 ms or so.
shot_differing_from() {
  local before=$1 out=$2 tries=0
  while true; do
    shot "$out"
    [ "$(fingerprint "$out")" != "$before" ] && return 0
    [ $((tries += 1)) -lt 50 ] || return 1
    sleep 0.1
  done
}

# Fraction of background pixels in a screenshot.
background_share() {
  convert "$1" -fill black +opaque "$background" -fill white -opaque "$background" \
    -format '%[fx:mean]' info:
}

# 1. The window, its picture and its input; Escape ends it.
start
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "$outer" ] || fail "window geometry $geometry, expected $outer"
# The first frames are drawn once the window is up; wait for the background to show. The grids
# cover much of it: about a fifth of the client area is plain background at the start.
share_above() { awk -v s="$(background_share "$1")" -v t="$2" 'BEGIN { exit !(s > t) }'; }
tries=0
until stable_shot "$work/a.png" && share_above "$work/a.png" 0.05; do
  [ $((tries += 1)) -lt 20 ] || fail "no background in the client area"
  sleep 0.1
done
! share_above "$work/a.png" 0.95 ||
  fail "almost only background in the client area ($(background_share "$work/a.png"))"
# Keypad keys by keycode (keypad 8 and keypad 4, whatever the Num Lock state), pointer over the
# client area for the wheel.
xdotool mousemove $((client_x + 400)) $((client_y + 400)) key 80 80 83
shot_differing_from "$(fingerprint "$work/a.png")" "$work/b.png" ||
  fail "keypad keys did not change the picture"
stable_shot "$work/b.png"
xdotool click 5 click 5
shot_differing_from "$(fingerprint "$work/b.png")" "$work/c.png" ||
  fail "the wheel did not change the picture"
# C draws the largest cluster in strong blue; a second C gives back the picture before.
strong_blue() {
  convert "$1" -fx '(b > 0.6 && r < 0.3) ? 1 : 0' -format '%[fx:round(mean * w * h)]' info:
}
stable_shot "$work/c.png"
[ "$(strong_blue "$work/c.png")" -eq 0 ] || fail "strong blue before C"
xdotool key c
shot_differing_from "$(fingerprint "$work/c.png")" "$work/d.png" ||
  fail "C did not change the picture"
stable_shot "$work/d.png"
[ "$(strong_blue "$work/d.png")" -gt 20 ] || fail "C did not colour the largest cluster"
xdotool key c
tries=0
until stable_shot "$work/e.png" && [ "$(fingerprint "$work/e.png")" = "$(fingerprint "$work/c.png")" ]; do
  [ $((tries += 1)) -lt 20 ] || fail "a second C did not restore the picture"
done
xdotool key Escape
expect_exit "Escape"

# 2. A close request ends it as well.
start
"$sendclose" "$window"
expect_exit "close request"

# 3. With a larger --box the start frames it: its outline, (0.3, 0.2, 0.25) at half alpha over the
# background, near each corner of the client area, and nothing drawn on the client area's edges.
outline_near() {
  convert "$1" -crop "100x100+$2+$3" +repage -fuzz 2% -fill white -opaque 'rgb(166,147,134)' \
    -fill black +opaque white -format '%[fx:round(mean * w * h)]' info:
}
edge_drawn() {
  convert "$1" -shave 1x1 -bordercolor "$background" -border 1 "$work/edgeless.png"
  compare -metric AE "$1" "$work/edgeless.png" null: 2>&1 || true
}
outline_at_corners() {
  local corner
  for corner in "0 0" "700 0" "0 700" "700 700"; do
    # shellcheck disable=SC2086
    [ "$(outline_near "$1" $corner)" -gt 20 ] || return 1
  done
}
start --box 5.43e-6
tries=0
until stable_shot "$work/f.png" && outline_at_corners "$work/f.png"; do
  [ $((tries += 1)) -lt 20 ] || fail "--box: the box outline is not near every corner"
  sleep 0.1
done
[ "$(edge_drawn "$work/f.png")" = 0 ] || fail "--box: the picture reaches the client area's edges"
xdotool key Escape
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "--box: exit status $status"

# 4. Without a display: the summary line, the failure line, status -1.
status=0
env -u DISPLAY timeout "$limit" "${command[@]}" >"$work/out" 2>"$work/err" </dev/null ||
  status=$?
[ "$status" -eq 255 ] || fail "without a display: exit status $status, expected 255"
tr -d '\r' <"$work/out" >"$work/lines"
[ "$(sed -n 1p "$work/lines")" = "$expected" ] || fail "without a display: summary line not first"
# The window cannot be made: the toolkit's one line for that step, and nothing else.
[ "$(sed 1d "$work/lines")" = "CreateWindow() failed." ] ||
  fail "without a display: not the one failure line after the summary"
echo "mikado end to end: passed"

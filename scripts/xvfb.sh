# Sourced: starts a private Xvfb for the tests and exports DISPLAY; it is stopped when the script
# exits. -noreset keeps the server up between clients.
# Usage: xvfb_start [WxHxD]

source "$(dirname "${BASH_SOURCE[0]}")/cleanup.sh"

xvfb_start() {
  local screen=${1:-1280x1024x24}
  local dir
  dir=$(mktemp -d)
  # Xvfb picks a free display number and writes it to the descriptor once it accepts clients.
  Xvfb -displayfd 3 -screen 0 "$screen" -noreset -nolisten tcp 3>"$dir/display" \
    >"$dir/log" 2>&1 &
  XVFB_PID=$!
  at_exit xvfb_stop "$dir"
  local tries=0
  until [ -s "$dir/display" ]; do
    if ! kill -0 "$XVFB_PID" 2>/dev/null || [ $((tries += 1)) -gt 500 ]; then
      echo "Xvfb did not start:" >&2
      cat "$dir/log" >&2
      return 1
    fi
    sleep 0.02
  done
  export DISPLAY=":$(cat "$dir/display")"
}

xvfb_stop() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
  rm -rf "$1"
}

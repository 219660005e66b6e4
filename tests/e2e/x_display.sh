#!/usr/bin/env bash
# The X display of the test run, as a CTest fixture: `start` records the display the tests use
# (the one in DISPLAY, else a private Xvfb started here, else none when Xvfb is not installed),
# `stop` ends the Xvfb it started, and `run` runs a test on the recorded display, or reports the
# test skipped (exit status 77) when there is none.
# Usage: x_display.sh start|stop STATE_DIR
#        x_display.sh run STATE_DIR COMMAND [ARGS...]
set -euo pipefail

action=$1 state=$2
shift 2
skip_status=77

case $action in
  start)
    mkdir -p "$state"
    rm -f "$state/display" "$state/pid"
    if [ -n "${DISPLAY:-}" ]; then
      echo "using the display of the environment: $DISPLAY"
      echo "$DISPLAY" >"$state/display"
      exit 0
    fi
    if ! command -v Xvfb >/dev/null; then
      echo "no DISPLAY and Xvfb is not installed: the tests that need a display are skipped"
      echo none >"$state/display"
      exit 0
    fi
    # Xvfb writes its display number to descriptor 3 once it accepts clients. It must not keep
    # this script's output open, or CTest would wait for it to end.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp \
      3>"$state/number" </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/pid"
    for _ in $(seq 500); do
      if [ -s "$state/number" ]; then
        echo ":$(cat "$state/number")" >"$state/display"
        echo "started Xvfb on :$(cat "$state/number")"
        exit 0
      fi
      kill -0 "$(cat "$state/pid")" 2>/dev/null || break
      sleep 0.02
    done
    echo "Xvfb did not start:" >&2
    cat "$state/xvfb.log" >&2
    exit 1
    ;;
  stop)
    if [ -s "$state/pid" ]; then
      kill "$(cat "$state/pid")" 2>/dev/null || true
      echo "stopped Xvfb"
    fi
    rm -f "$state/pid" "$state/display" "$state/number"
    ;;
  run)
    # Without a recorded display (tests listed before the fixture ran) the command runs as it is.
    if [ -s "$state/display" ]; then
      display=$(cat "$state/display")
      if [ "$display" = none ]; then
        echo "SKIPPED: needs an X display, and Xvfb is not installed"
        exit $skip_status
      fi
      export DISPLAY=$display
    fi
    exec "$@"
    ;;
  *)
    echo "usage: x_display.sh start|stop STATE_DIR | run STATE_DIR COMMAND..." >&2
    exit 2
    ;;
esac

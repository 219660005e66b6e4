# Sourced: makes a fresh 64-bit Wine prefix and keeps one wineserver running for it, so each test
# process starts quickly; the server is killed when the script exits.
# Usage: wine_fresh_prefix DIR   (exports WINEPREFIX and WINEDEBUG)

source "$(dirname "${BASH_SOURCE[0]}")/cleanup.sh"

WINE_PACKAGES=(wine wine64)

wine_fresh_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all
  # A server left over from an interrupted run would keep serving the deleted prefix.
  if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  at_exit wine_stop
  # Without Mono and Gecko the prefix is made in about half the time; nothing here needs them.
  WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot --init >"$WINEPREFIX.log" 2>&1 ||
    { echo "wineboot failed:" >&2; cat "$WINEPREFIX.log" >&2; return 1; }
  # Unmanaged windows: Wine draws the frame and takes focus itself, and destroying the active
  # window does not stall for two seconds without a window manager.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$WINEPREFIX.log" 2>&1 ||
    { echo "wine reg add failed:" >&2; cat "$WINEPREFIX.log" >&2; return 1; }
  wineserver -w
  wineserver -p
  # Start Wine's background processes (services, desktop) now, detached from any output: started
  # by a test instead, they would inherit its output pipe and keep it open for the whole run.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || { echo "wine cannot start programs" >&2; return 1; }
}

wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
  return 0
}

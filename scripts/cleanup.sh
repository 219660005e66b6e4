# Sourced: runs registered clean-up commands when the script exits, last registered first,
# whether it succeeds or fails.
# Usage: at_exit command [args...]

MIKADO_AT_EXIT=()

mikado_run_at_exit() {
  local i
  for ((i = ${#MIKADO_AT_EXIT[@]} - 1; i >= 0; i--)); do
    eval "${MIKADO_AT_EXIT[i]}" || true
  done
  MIKADO_AT_EXIT=()
}

at_exit() {
  MIKADO_AT_EXIT+=("$*")
  trap mikado_run_at_exit EXIT
}

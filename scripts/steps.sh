# Sourced by the scripts, so that none of them ends with a nonzero status
# without a line that names the step that failed and shows its last words.

step_script=$(basename "$0")

# fail WHAT [LOG]: shows the last lines of LOG, names the failed step, exits 1.
fail() {
  [ -n "${2:-}" ] && [ -s "$2" ] && tail -15 "$2" | sed 's/^/  | /' >&2
  echo "$step_script: $1 failed${2:+ (log: $2)}" >&2
  exit 1
}

# run_step WHAT COMMAND...: runs COMMAND with its output kept aside; on failure
# shows its last words and names the step.
run_step() {
  local log status
  log=$(mktemp)
  "${@:2}" >"$log" 2>&1 && status=0 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -15 "$log" | sed 's/^/  | /' >&2
    rm -f "$log"
    echo "$step_script: $1 failed (exit $status): ${*:2}" >&2
    exit 1
  fi
  rm -f "$log"
}

# Under set -e, any other command that fails names itself and its line (once,
# in the script's own shell, not again in each subshell it ends).
if [[ $- == *e* ]]; then
  trap '{ status=$?; [ "$BASH_SUBSHELL" -eq 0 ] &&
    echo "$step_script: line $LINENO failed (exit $status): $BASH_COMMAND" >&2; }' ERR
  set -E
fi

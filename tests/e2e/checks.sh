# What the runs under Wine share: the Wine environment, the simulated tester
# and its device entry, the project version, and the checks' vocabulary (one
# line "PASS NAME" or "FAIL NAME" per check, counted in passed and failed).
# Sourced by the run scripts, which set AMPWRIGHT_ROOT and driver_exe.
source "$AMPWRIGHT_ROOT/scripts/lib/wine.sh"
source "$AMPWRIGHT_ROOT/scripts/lib/tester_device.sh"
source "$AMPWRIGHT_ROOT/scripts/lib/sim.sh"
source "$AMPWRIGHT_ROOT/scripts/lib/build.sh"

passed=0
failed=0
# check NAME COMMAND...: passes when the command succeeds.
check() {
  local name=$1
  shift
  if "$@"; then echo "PASS $name"; passed=$((passed + 1)); else echo "FAIL $name"; failed=$((failed + 1)); fi
}
contains() { [[ "$1" == *"$2"* ]]; }
matches() { [[ "$1" == $2 ]]; }  # a glob pattern
# eventually SECONDS COMMAND...: retries the command until it succeeds, so a
# slow machine is given time instead of failing a fixed pause.
eventually() {
  local tries=$(($1 * 4))
  shift
  for _ in $(seq 1 "$tries"); do "$@" && return 0; sleep 0.25; done
  return 1
}
quietly() { "$@" >/dev/null; }
# The driver works the main window, or with "on TITLE" another window.
driver() { wine "$driver_exe" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

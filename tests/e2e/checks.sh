# What the runs under Wine share: the Wine environment, the simulated tester
# and its device entry, the project version, the program's control ids, and
# the checks' vocabulary (one line "PASS NAME" or "FAIL NAME" per check,
# counted in passed and failed).
# Sourced by the run scripts, which set AMPWRIGHT_ROOT and ampwright_driver_exe.
source "$AMPWRIGHT_ROOT/scripts/lib/wine.sh"
source "$AMPWRIGHT_ROOT/scripts/lib/tester_device.sh"
source "$AMPWRIGHT_ROOT/scripts/lib/sim.sh"
source "$AMPWRIGHT_ROOT/scripts/lib/build.sh"
source "$AMPWRIGHT_ROOT/scripts/lib/driver.sh"
source "$AMPWRIGHT_ROOT/scripts/lib/control_ids.sh"

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

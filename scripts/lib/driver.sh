# Working the running application from a second process with e2e-driver.exe,
# and waiting without fixed pauses. Sourced by the scripts after wine.sh;
# expects ampwright_driver_exe to name the driver.

# The driver works the main window, or with "on TITLE" another window. A
# driver that has not finished in two minutes (a window that stopped
# answering its messages) is ended and fails, so a run reports a hang
# instead of hanging itself.
driver() { timeout -k 5 120 wine "$ampwright_driver_exe" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
winpath() { echo "Z:${1//\//\\}"; }
quietly() { "$@" >/dev/null; }
# eventually SECONDS COMMAND...: retries the command until it succeeds, so a
# slow machine is given time instead of failing a fixed pause.
eventually() {
  local tries=$(($1 * 4))
  shift
  for _ in $(seq 1 "$tries"); do "$@" && return 0; sleep 0.25; done
  return 1
}
# several WINDOW COMMAND ID VALUE [ID VALUE]...: one command on several
# controls of a window (driver, or a function naming a window).
several() {
  local window=$1 command=$2
  shift 2
  while [ $# -gt 1 ]; do "$window" "$command" "$1" "$2"; shift 2; done
}

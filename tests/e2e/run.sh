#!/usr/bin/env bash
# End-to-end checks of Ampwright.exe under Wine and Xvfb: a fresh prefix, the
# simulated tester registered as a COM port device and served by
# ampwright-sim on a pty, and e2e-driver.exe working the application's
# controls from a second process. Screenshots of each state go to build/e2e/.
# Prints one line per check and ends with "e2e: N passed, M failed"; exits
# non-zero when a check failed.
#
# Environment: AMPWRIGHT_E2E_WINDOWS (the Windows build tree, default
# build/windows), AMPWRIGHT_E2E_SIM (the simulator, default
# build/native/ampwright-sim), AMPWRIGHT_E2E_PORT (default COM7).
set -u
AMPWRIGHT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$AMPWRIGHT_ROOT" || exit 1
source scripts/lib/wine.sh
source scripts/lib/tester_device.sh

windows_dir=${AMPWRIGHT_E2E_WINDOWS:-build/windows}
sim=${AMPWRIGHT_E2E_SIM:-build/native/ampwright-sim}
port=${AMPWRIGHT_E2E_PORT:-COM7}
out="$AMPWRIGHT_ROOT/build/e2e"
device_id=VQE2E00000007
app_exe="$windows_dir/Ampwright.exe"
driver_exe="$windows_dir/e2e-driver.exe"

passed=0
failed=0
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1${2:+: $2}"; failed=$((failed + 1)); }
# check NAME COMMAND...: passes when the command succeeds.
check() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
contains() { [[ "$1" == *"$2"* ]]; }
# eventually SECONDS COMMAND...: retries the command until it succeeds, so a
# slow machine is given time instead of failing a fixed pause.
eventually() {
  local tries=$(($1 * 4))
  shift
  for _ in $(seq 1 "$tries"); do "$@" && return 0; sleep 0.25; done
  return 1
}
quietly() { "$@" >/dev/null; }

for f in "$app_exe" "$driver_exe" "$sim"; do
  [ -e "$f" ] || { echo "FAIL missing $f"; echo "e2e: 0 passed, 1 failed"; exit 1; }
done

rm -rf "$out"
mkdir -p "$out"

# A fresh prefix of our own, copied from the project's ready one, so that no
# other run's COM ports or devices are seen and a server of our own runs it.
ampwright_wine_prefix || { echo "FAIL wine prefix"; echo "e2e: 0 passed, 1 failed"; exit 1; }
ampwright_ensure_display || { echo "FAIL display"; echo "e2e: 0 passed, 1 failed"; exit 1; }
export WINEPREFIX="$out/wineprefix"
cp -a "$AMPWRIGHT_ROOT/build/wineprefix" "$WINEPREFIX"
rm -f "$WINEPREFIX"/dosdevices/com*
wineserver -p 60 >/dev/null 2>&1
ampwright_unregister_tester "$port"

driver() { wine "$driver_exe" "$@" 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
shot() { import -window root "$out/$1.png" 2>/dev/null; }

sim_pid=""
holder_pid=""
app_pids=()
fifo="$out/sim.in"
start_sim() {
  rm -f "$fifo"
  mkfifo "$fifo"
  sleep 100000 >"$fifo" &
  holder_pid=$!
  "$sim" --link "$(ampwright_com_link "$port")" --device-id "$device_id" <"$fifo" >>"$out/sim.log" 2>&1 &
  sim_pid=$!
  echo "plug pd65" >"$fifo"
  for _ in $(seq 1 50); do [ -e "$(ampwright_com_link "$port")" ] && break; sleep 0.1; done
}
stop_sim() {
  [ -n "$sim_pid" ] && { echo vanish >"$fifo"; sleep 0.2; kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; }
  [ -n "$holder_pid" ] && kill "$holder_pid" 2>/dev/null
  sim_pid=""
  holder_pid=""
}
# What the simulator says about itself now.
sim_status() {
  local before
  before=$(wc -c <"$out/sim.log")
  echo status >"$fifo"
  sleep 0.4
  tail -c +$((before + 1)) "$out/sim.log"
}
start_app() {
  wine "$app_exe" >>"$out/app.log" 2>&1 &
  app_pids+=($!)
}
wait_exit() {  # pid, seconds
  local i
  for i in $(seq 1 $(($2 * 10))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}
cleanup() {
  stop_sim
  local pid
  for pid in "${app_pids[@]}"; do kill "$pid" 2>/dev/null; done
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  rm -rf "$WINEPREFIX"
  ampwright_stop_display
}
trap cleanup EXIT

# --- No tester: the message, a usable window, a second instance beside it.
start_app
text=$(driver wait-box "Ampwright: Error" 20000)
check "no tester: message box" contains "$text" "No Quarnel Voltiq device detected."
shot 01-no-tester
driver answer-boxes "Ampwright: Error" >/dev/null
check "no tester: caption" [ "$(driver caption)" = "Quarnel(TM) Ampwright App" ]
driver click 1078
text=$(driver wait-box "Ampwright: Error" 10000)
check "no tester: Configure is refused" [ "$text" = "No Voltiq device selected." ]
driver answer-boxes "Ampwright: Error" >/dev/null
start_app
driver wait-box "Ampwright: Error" 20000 >/dev/null
driver answer-boxes "Ampwright: Error" >/dev/null
two_windows() { [ "$(driver count-windows)" = 2 ]; }
check "second instance runs beside the first" eventually 10 two_windows
shot 02-two-instances
driver close-all 10000
ok=1
for pid in "${app_pids[@]}"; do wait_exit "$pid" 10 || ok=0; done
check "both instances exit" [ $ok = 1 ]
app_pids=()

# --- The simulated tester on the port, a PD charger on its sink port.
start_sim
ampwright_register_tester "$port"
start_app
app_pid=${app_pids[0]}
check "main window opens" driver wait-window 20000
check "ID shows the tester's device ID" quietly driver wait-text 1232 "$device_id" 20000
check "device list entry" contains "$(driver items 1038)" "Voltiq ($port)"
check "sink voltage readout" quietly driver wait-text 1063 "5.00 V" 10000
check "sink profile type" [ "$(driver text 1061)" = "PD-FIX" ]
check "profile list filled" quietly driver wait-text 1084 "PD-FIX" 10000
profiles=$(driver items 1084)
check "profile list shows the charger's offers" contains "$profiles" "PD-FIX 9.00V"
check "temperature readout" contains "$(driver text 1067)" " C"
shot 03-connected

index=$(grep -n '^PD-FIX 9.00V$' <<<"$profiles" | cut -d: -f1)
driver select 1084 $((${index:-2} - 1))
check "9 V profile: readout follows" quietly driver wait-text 1063 "9.00 V" 10000
sim_says() { contains "$(sim_status)" "$1"; }
check "9 V profile: the simulator renegotiated" eventually 10 sim_says "9000 mV"
shot 04-profile-9v

driver set-text 1058 1000
driver click 1071
current_ok() {
  local ma
  ma=$(driver text 1064 | grep -oE '^[0-9]+')
  [ -n "$ma" ] && [ "$ma" -ge 950 ] && [ "$ma" -le 1050 ]
}
ok=0
for _ in $(seq 1 40); do current_ok && { ok=1; break; }; sleep 0.25; done
check "Set 1000 mA: Internal Current follows" [ $ok = 1 ]
check "Set 1000 mA: the simulator draws it" eventually 10 sim_says "load 1000 mA"
shot 05-current-1000ma

ranged=$(grep -n '^PD-PPS 3.30V-11.00V$' <<<"$profiles" | cut -d: -f1)
driver select 1084 $((${ranged:-6} - 1))
check "PPS profile negotiated" quietly driver wait-text 1061 "PD-PPS" 10000
# The poll loop writes the negotiated voltage into the edit once: type after it.
driver wait-text 1106 "11000" 10000 >/dev/null
driver set-text 1106 2000
driver click 1107
text=$(driver wait-box "Ampwright: Error" 5000)
check "PPS: a voltage below the profile is refused" [ "$text" = "Please enter a number between 3300-11000" ]
driver answer-boxes "Ampwright: Error" >/dev/null
driver set-text 1106 7311
driver click 1107
check "PPS: the voltage is rounded to 20 mV" quietly driver wait-text 1106 "7300" 5000
check "PPS: the simulator supplies it" eventually 10 sim_says "7300 mV"
shot 06-pps-7300mv

driver click 1016
check "About shows the version" [ "$(driver wait-box "About Ampwright" 5000 1045)" = "Voltiq V1.0 (1002)" ]
driver answer-boxes "About Ampwright" >/dev/null

driver click 1160
check "Disconnect USB-C flips to Connect USB-C" quietly driver wait-text 1160 "Connect USB-C" 5000
sink_detached() { ! grep -q "(attached)" <<<"$(sim_status)"; }
check "the simulator's sink port is disconnected" eventually 10 sink_detached
shot 07-sink-disconnected
driver click 1160
check "Connect USB-C flips back" quietly driver wait-text 1160 "Disconnect USB-C" 5000
check "the sink port comes back" quietly driver wait-text 1063 "5.00 V" 15000

# --- The tester unplugged and plugged back in.
stop_sim
ampwright_unregister_tester "$port"
driver device-change removal
check "unplugged: the device list is empty" [ -z "$(driver items 1038)" ]
check "unplugged: the ID is cleared" [ "$(driver text 1232)" = " " ]
shot 08-unplugged
start_sim
ampwright_register_tester "$port"
driver device-change arrival
check "replugged: listed again" contains "$(driver items 1038)" "Voltiq ($port)"
check "replugged: reconnected" quietly driver wait-text 1232 "$device_id" 10000
check "replugged: live readings again" quietly driver wait-text 1063 "5.00 V" 15000
shot 09-replugged

log="$out/event-log.txt"
driver save-log "Z:${log//\//\\}" 15000
check "log: the disconnection" grep -q "Device Voltiq ($port) disconnected" "$log"
check "log: selected again after the disconnection" \
  bash -c 'sed -n "/disconnected/,\$p" "$1" | grep -q "Device Voltiq ($2) selected"' _ "$log" "$port"

# --- The configuration dialogs over the main window, each change round-tripped
# through the simulated tester.
tc="TX52 Test Configuration"
driver click 1078
check "Configure: the dialog opens" quietly driver dlg-text "$tc" 1137
sleep 0.5
shot 10-test-configuration
driver dlg-click "$tc" 1085
check "Force Limit: the danger confirmation" quietly driver wait-box Danger 5000 1097
shot 11-danger
driver dlg-set-text Danger 1097 "confirm "
driver dlg-click Danger 1
check "Danger: 'confirm ' is refused" \
  [ "$(driver wait-box Ampwright 5000)" = "Type the word 'confirm' and then click on the 'I accept the risk' button" ]
driver answer-boxes Ampwright >/dev/null
driver dlg-set-text Danger 1097 CONFIRM
driver dlg-click Danger 1
danger_gone() { ! driver wait-box Danger 0 >/dev/null 2>&1; }
check "Danger: CONFIRM is accepted" eventually 5 danger_gone
driver dlg-select "$tc" 1093 5
driver dlg-click "$tc" 1102
driver dlg-set-text "$tc" 1103 150
driver dlg-click "$tc" 1
check "OK: the slider limit shows the forced 3.5 A" quietly driver wait-text 1068 "3500mA" 5000
check "OK: the sink voltage label follows the estimate" [ "$(driver text 1062)" = "Upstream VBUS" ]
check "the simulator enforces the forced limit" eventually 10 sim_says "limit 3500 mA"
driver click 1078
check "reopened: the cable resistance read back" [ "$(driver dlg-text "$tc" 1103)" = "150" ]
check "reopened: Force Limit is the mode last sent" [ "$(driver dlg-checked "$tc" 1085)" = 1 ]
driver dlg-click "$tc" 2

sc="Source Type Configuration"
echo "source-device on 20000 1000" >"$fifo"
check "a device on the source port takes 20 V" eventually 10 sim_says "source port: 20000 mV"
driver click 1079
check "Config Src: the dialog opens" contains "$(driver dlg-text "$sc" 1188)" "1. "
driver dlg-select "$sc" 1188 0
picked_name() { [ "$(driver dlg-text "$sc" 1189)" = "PD 100W" ]; }
check "the picked type's name" eventually 5 picked_name
driver dlg-set-text "$sc" 1189 "E2E 60W"
driver dlg-click "$sc" 1211
sleep 0.5
shot 12-source-types
driver dlg-click "$sc" 1
# The confirmation has an empty title: only a visible box of that title is it.
check "APPLY confirms" [ "$(driver dlg-text "" 65535)" = "Source Configuration Applied." ]
driver answer-boxes "" >/dev/null
check "the main list shows the new name" contains "$(driver items 1085)" "1. E2E 60W"
check "the source port offers the changed type at once" eventually 10 sim_says "source port: 15000 mV"
driver dlg-click "$sc" 2

driver click 1113
check "Calibration: the dialog opens" [ "$(driver dlg-text Calibration 1125)" = "N/A" ]
driver dlg-select Calibration 1231 1
driver dlg-click Calibration 1123
driver dlg-set-text Calibration 1114 4000
driver dlg-set-text Calibration 1115 20000
driver dlg-click Calibration 1120
read_near_5v() {
  local v
  v=$(driver dlg-text Calibration 1116)
  [[ "$v" =~ ^[0-9]+$ ]] && [ "$v" -ge 4900 ] && [ "$v" -le 5100 ]
}
check "Read: the sink voltage averaged while the poll goes on" eventually 10 read_near_5v
driver dlg-set-text Calibration 1116 3990
driver dlg-set-text Calibration 1117 19950
driver dlg-click Calibration 1124
driver wait-box Voltiq 5000 >/dev/null
shot 13-calibration-confirm
driver answer-with Voltiq 6
gain_read_back() { [ "$(driver dlg-text Calibration 1126)" = "1.002506" ]; }
check "Calibrate: gain 1.002506" eventually 5 gain_read_back
driver dlg-raise Calibration
sleep 0.5
shot 14-calibration
driver dlg-click Calibration 1
driver click 1113
driver dlg-text Calibration 1125 >/dev/null
driver dlg-select Calibration 1231 1
check "reopened: gain read back from the tester" eventually 5 gain_read_back
driver dlg-click Calibration 2

# --- Exit ends the process (the poll thread is stopped on the way out).
driver click 1012
check "Exit ends the application" wait_exit "$app_pid" 15
app_pids=()

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

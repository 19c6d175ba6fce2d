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
  # Its last line names the faults; a busy machine may take a while.
  for _ in $(seq 1 50); do
    sleep 0.1
    tail -c +$((before + 1)) "$out/sim.log" | grep -q '^faults:' && break
  done
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
driver set-text 1106 2000
driver click 1107
text=$(driver wait-box "Ampwright: Error" 15000)
check "PPS: a voltage below the profile is refused" [ "$text" = "Please enter a number between 3300-11000" ]
driver answer-boxes "Ampwright: Error" >/dev/null
driver set-text 1106 7311
driver click 1107
check "PPS: the voltage is rounded to 20 mV" quietly driver wait-text 1106 "7300" 15000
check "PPS: the simulator supplies it" eventually 10 sim_says "7300 mV"
shot 06-pps-7300mv

driver click 1016
check "About shows the version" [ "$(driver wait-box "About Ampwright" 15000 1045)" = "Voltiq V1.0 (1002)" ]
driver answer-boxes "About Ampwright" >/dev/null

driver click 1160
check "Disconnect USB-C flips to Connect USB-C" quietly driver wait-text 1160 "Connect USB-C" 15000
sink_detached() { ! grep -q "(attached)" <<<"$(sim_status)"; }
check "the simulator's sink port is disconnected" eventually 10 sink_detached
shot 07-sink-disconnected
driver click 1160
check "Connect USB-C flips back" quietly driver wait-text 1160 "Disconnect USB-C" 15000
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

# --- The graph window: real-time graphs while the load steps, saved as images.
driver set-text 1058 1000
driver click 1071
check "graphs: a load of 1000 mA first" eventually 10 sim_says "load 1000 mA"
driver click 1092
check "graphs: the window opens" quietly driver wait-graph 10000
check "graphs: real-time is chosen" [ "$(driver graph text 1118)" = "Real-Time" ]
driver graph select 1234 3
driver graph select 1236 3
driver graph set-text 1238 60
driver graph click 1009
check "graphs: Run shows Stop" quietly driver graph wait-text 1009 "Stop" 5000
check "graphs: Close is disabled while running" [ "$(driver graph enabled 1)" = 0 ]
sleep 2
echo "cable 600" >"$fifo"
sleep 2
echo "cable 80" >"$fifo"
sleep 1
shot 10-graph-sink-voltage
driver graph click 1009
check "graphs: Stop shows Run Test" quietly driver graph wait-text 1009 "Run Test" 5000
check "graphs: Save Graph is enabled after the run" [ "$(driver graph enabled 1070)" = 1 ]

driver graph select 1234 4
driver graph select 1236 2
driver graph click 1009
check "graphs: the sink current graph runs" quietly driver graph wait-text 1009 "Stop" 5000
sleep 1
driver set-text 1058 2000
driver click 1071
check "graphs: the load steps to 2000 mA" eventually 10 sim_says "load 2000 mA"
sleep 1
driver set-text 1058 500
driver click 1071
sleep 1.5
shot 11-graph-sink-current
driver graph select 1236 3
check "graphs: a new time division stops the run" quietly driver graph wait-text 1009 "Run Test" 5000
check "graphs: the division is kept" [ "$(driver graph text 1236)" = "1 second" ]
shot 12-graph-stopped

png="$out/graph.png"
jpg="$out/graph.jpg"
driver graph save "Z:${png//\//\\}" 15000
check "graphs: PNG saved message" contains "$(driver wait-box Ampwright 5000)" "Graph was successfully saved to image file:"
driver answer-boxes Ampwright >/dev/null
check "graphs: the PNG decodes" bash -c '[ "$(identify -format %m "$1" 2>/dev/null)" = PNG ]' _ "$png"
driver graph save "Z:${jpg//\//\\}" 15000
check "graphs: JPEG saved message" contains "$(driver wait-box Ampwright 5000)" "graph.jpg"
driver answer-boxes Ampwright >/dev/null
check "graphs: the JPEG decodes" bash -c '[ "$(identify -format %m "$1" 2>/dev/null)" = JPEG ]' _ "$jpg"
before=$(driver graph size 1088)
driver graph resize 1260 780
grown() { [ "$(driver graph size 1088)" != "$before" ]; }
check "graphs: the graph area grows with the window" eventually 5 grown
shot 13-graph-resized
driver graph resize 600 300
check "graphs: the window keeps its minimum size" bash -c '[ "$(wine "$1" graph size 1088 2>/dev/null | tr -d "\r" | cut -dx -f1)" -gt 500 ]' _ "$driver_exe"
driver graph set-text 1238 0
driver graph click 1009
check "graphs: duration 0 is refused" [ "$(driver wait-box "Ampwright Error" 5000)" = "Minimum value for Test Duration is 1 second" ]
driver answer-boxes "Ampwright Error" >/dev/null
check "graphs: the duration edit is reset" quietly driver graph wait-text 1238 "1" 5000
driver graph click 1
gone() { ! driver wait-graph 0 2>/dev/null; }
check "graphs: Close ends the window" eventually 10 gone

# --- The voltage-versus-current test and the FFT in the graph window: a 9 V
# PD charger on a 150 mOhm cable, then a DCP; each stopped half-way once.
vi_csv="$out/vi-9v.csv"
echo "cable 150" >"$fifo"
driver set-text 1058 0
driver click 1071
check "tests: the load is off first" eventually 10 sim_says "load 0 mA"
profiles=$(driver items 1084)
index=$(grep -n '^PD-FIX 9.00V$' <<<"$profiles" | cut -d: -f1)
driver select 1084 $((${index:-2} - 1))
check "tests: 9 V negotiated" quietly driver wait-text 1063 "9." 10000
driver click 1092
check "tests: the graph window opens" quietly driver wait-graph 10000
driver graph select 1118 1
driver graph set-text 1143 250
driver graph set-text 1144 400
driver graph click 1009
check "tests: the voltage-versus-current test runs" quietly driver graph wait-text 1009 "Stop" 5000
check "tests: its settings are locked while it runs" eventually 5 bash -c '[ "$(wine "$1" graph enabled 1143 2>/dev/null | tr -d "\r")" = 0 ]' _ "$driver_exe"
check "tests: the run ends by itself" quietly driver graph wait-text 1009 "Run Test" 40000
check "tests: the status line shows the extremes" contains "$(driver graph wait-text 1079 "V(Min):" 3000)" "I Total(Max):"
sleep 0.5
shot 14-vi-pd-9v
check "tests: Export CSV is enabled" [ "$(driver graph enabled 1098)" = 1 ]
driver graph export-csv "Z:${vi_csv//\//\\}" 15000
check "tests: the CSV has a header and 13 steps" [ "$(wc -l <"$vi_csv")" = 14 ]
check "tests: the CSV header" [ "$(head -1 "$vi_csv" | tr -d '\r')" = "Voltage (V), Current (mA), Power (W), Compliance (PASS/FAIL) " ]
check "tests: the CSV's last step is at 3000 mA" contains "$(tail -1 "$vi_csv")" ",3000,"
check "tests: the load is off after the run" eventually 10 sim_says "load 0 mA"
driver graph set-text 1144 1000
driver graph click 1009
check "tests: a second run starts" quietly driver graph wait-text 1009 "Stop" 5000
check "tests: half-way the load is on" eventually 15 sim_says "load 1500 mA"
driver graph click 1009
check "tests: Stop ends the run" quietly driver graph wait-text 1009 "Run Test" 5000
check "tests: Stop switches the load off" eventually 10 sim_says "load 0 mA"
shot 15-vi-stopped

echo "charger dcp" >"$fifo"
check "tests: the DCP is attached" eventually 15 sim_says "dcp"
check "tests: 5 V from the DCP" quietly driver wait-text 1063 "5." 15000
sleep 2
driver graph set-text 1143 50
driver graph set-text 1144 300
driver graph click 1009
check "tests: the DCP test runs" quietly driver graph wait-text 1009 "Stop" 5000
check "tests: the DCP test ends by itself" quietly driver graph wait-text 1009 "Run Test" 60000
sleep 0.5
shot 16-vi-dcp
driver graph set-text 1143 250
driver graph set-text 1144 2000
driver graph click 1009
check "tests: the DCP test runs again" quietly driver graph wait-text 1009 "Stop" 5000
check "tests: the DCP half-way" eventually 15 sim_says "load 500 mA"
driver graph click 1009
check "tests: Stop ends the DCP run" quietly driver graph wait-text 1009 "Run Test" 5000
check "tests: Stop switches the DCP's load off" eventually 10 sim_says "load 0 mA"

echo "charger pd65" >"$fifo"
check "tests: the PD charger is back" quietly driver wait-text 1061 "PD-FIX" 15000
driver set-text 1058 2000
driver click 1071
check "tests: a load for the FFT" eventually 10 sim_says "load 2000 mA"
driver graph select 1118 2
driver graph click 1009
check "tests: the FFT runs" quietly driver graph wait-text 1009 "Stop" 5000
sleep 4
shot 17-fft
driver graph click 1009
check "tests: the FFT stops" quietly driver graph wait-text 1009 "Run Test" 5000
driver set-text 1058 0
driver click 1071
driver graph click 1
gone() { ! driver wait-graph 0 2>/dev/null; }
check "tests: Close ends the window" eventually 10 gone

# --- Exit with a tester that stopped answering: the exchange in flight is
# cancelled instead of waited out, and the poll thread stops between
# exchanges. The time from the click to the end of the process is printed.
echo "silent on" >"$fifo"
sleep 1.5  # the poll thread is now waiting for answers that never come
click_start=$(date +%s%N)
driver click 1012
exit_start=$(date +%s%N)
for _ in $(seq 1 750); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.02; done
exit_end=$(date +%s%N)
check "Exit ends the application" wait_exit "$app_pid" 15
# The first figure runs from the posted click (the driver has returned); the
# second also counts the driver program's own start and end.
echo "shutdown with a silent tester: $(((exit_end - exit_start) / 1000000)) ms" \
  "($(((exit_end - click_start) / 1000000)) ms from the start of the click command)"
app_pids=()

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

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
# The poll loop writes the negotiated voltage into the edit once: type after it.
driver wait-text 1106 "11000" 10000 >/dev/null
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
echo "cable 80" >"$fifo"

# --- The PD tracer: a negotiation's rows in each view, a data object chosen,
# the export against ampwright-cli decode of the same messages, composed
# messages with their echoes coloured, a replay under load, tracing stopped
# on close.
cli=${AMPWRIGHT_E2E_CLI:-build/native/ampwright-cli}
tracer_shot() {
  import -window "$(xdotool search --name '^Power Delivery Protocol Tracer$' | head -n 1)" "$out/$1.png" 2>/dev/null
}
trace_csv="$out/trace.csv"
export_trace() {
  rm -f "$trace_csv"
  driver tracer-export "Z:${trace_csv//\//\\}" 15000 >/dev/null && [ -s "$trace_csv" ]
}
trace_has() { export_trace && grep -q "$1" "$trace_csv"; }
send_enabled() { [ "$(driver tracer-enabled 1072)" = 1 ]; }
echo_pixels() { convert "$out/$1.png" -format %c histogram:info:- 2>/dev/null | grep -i "#D9C4EC" | awk '{s += $1} END {print s + 0}'; }

driver click 1072
check "tracer: Message Tracer opens it" driver tracer-wait 10000
check "tracer: the tester traces" eventually 10 sim_says "trace on"
driver click 1072
sleep 0.5
check "tracer: a second press keeps one window" [ "$(driver tracer-count)" = 1 ]
echo unplug >"$fifo"
sleep 1
echo "plug pd65" >"$fifo"
negotiated() { trace_has "^PS_RDY,DFP,Source"; }
check "tracer: the charger's negotiation arrives" eventually 20 negotiated
check "tracer: Source_Capabilities row" grep -q "^Source_Capabilities,DFP,Source,3.0,[0-7],[1-7],0x" "$trace_csv"
slot_list=""
for id in 1148 1149 1150 1151 1152 1153 1155 1156 1157 1158 1160 1161 1162 1163 1164 1165; do
  [ "$(driver tracer-items $id | wc -l)" -ge 2 ] && { slot_list=$id; break; }
done
check "tracer: a data message lists its object positions" [ -n "$slot_list" ]
driver tracer-select "${slot_list:-1148}" 1
sleep 0.5
check "tracer: the chosen data object stays chosen" [ "$(driver tracer-selected "${slot_list:-1148}")" = 1 ]
tracer_shot 20-tracer-default
driver tracer-select 1172 1
sleep 0.5
tracer_shot 21-tracer-extended-data
driver tracer-select 1172 2
sleep 0.5
tracer_shot 22-tracer-raw-messages
driver tracer-select 1172 0

awk -F, 'NR > 1 { print $8 }' "$trace_csv" | tr -d '\r' >"$out/trace-messages.txt"
"$cli" decode "$out/trace-messages.txt" -o "$out/trace-cli.csv"
check "tracer: the export equals ampwright-cli decode of its messages" cmp -s "$trace_csv" "$out/trace-cli.csv"

driver tracer-select 1167 3  # Get_Source_Cap
driver tracer-click 1072
send_disabled() { ! send_enabled; }
check "tracer: Get_Source_Cap sent, Send waits for quiet" eventually 5 send_disabled
check "tracer: Send returns after a quiet period" eventually 15 send_enabled
check "tracer: the sent Get_Source_Cap is traced" trace_has "^Get_Source_Cap,UFP,Sink,3.0,"
tracer_shot 23-tracer-named-echo
check "tracer: its echo row is coloured" [ "$(echo_pixels 23-tracer-named-echo)" -gt 500 ]
driver tracer-select 1167 15  # Request: the eight data-object fields
sleep 0.3
tracer_shot 23-tracer-composer-data-objects
driver tracer-select 1167 42  # Custom
driver tracer-set-text 1171 0x41061
driver tracer-click 1072
text=$(driver wait-box "Ampwright Error" 5000)
check "tracer: an odd number of digits is refused" [ "$text" = "Custom message must have an even number of hexadecimal digits." ]
driver answer-boxes "Ampwright Error" >/dev/null
driver tracer-set-text 1171 470c
driver tracer-click 1072
check "tracer: the Custom text is rewritten" quietly driver tracer-wait-text 1171 "0x470C" 5000
check "tracer: Send returns after the Custom message" eventually 15 send_enabled
check "tracer: the Custom message is traced" trace_has "^Get_Source_Cap,UFP,Sink,2.0,6,0, ,0x470C"
tracer_shot 24-tracer-custom-echo

# Under load: a replay of GoodCRC and Request messages while the poll loop
# runs. AMPWRIGHT_E2E_REPLAY="COUNT RATE" sets its size; the default is what
# the Wine serial transport carries on a busy machine (bench-tracer-load
# measures 20,000 at 2,000 per second in one process).
read -r replay_count replay_rate <<<"${AMPWRIGHT_E2E_REPLAY:-2000 200}"
awk -v n="$replay_count" 'BEGIN { for (i = 0; i < n; i++) {
  id = int(i / 2) % 8
  if (i % 2) printf "%02X %02X 2C B1 04 13\n", 130, 16 + id * 2
  else printf "%02X %02X\n", 65, id * 2 } }' >"$out/replay.txt"
driver tracer-click 4
replay_started=$(date +%s%N)
echo "replay $out/replay.txt $replay_rate" >"$fifo"
sleep 1
started=$(date +%s%N)
driver set-text 1058 700
driver click 1071
check "load: the poll loop serves a request during the replay" eventually 10 sim_says "load 700 mA"
echo "load: request served after $((($(date +%s%N) - started) / 1000000)) ms"
ping_ms=$(driver tracer-ping 40)
echo "load: the tracer's thread answered within ${ping_ms} ms (longest of 40)"
check "load: the window stays responsive" awk -v ms="$ping_ms" 'BEGIN { exit !(ms < 250) }'
replay_done() { ! sim_says "replay running"; }
eventually 120 replay_done
sleep 1
export_trace
rows=$(($(wc -l <"$trace_csv") - 1))
requests=$(grep -c ",0x1304B12C," "$trace_csv")
echo "load: replay of $replay_count at $replay_rate/s: $rows rows exported, $requests of $((replay_count / 2)) Requests," \
  "$((($(date +%s%N) - replay_started) / 1000000)) ms"
all_arrived() { [ "$rows" -ge "$replay_count" ] && [ "$requests" -eq $((replay_count / 2)) ]; }
check "load: every replayed message arrived" all_arrived
tracer_shot 25-tracer-after-load

driver tracer-click 3
check "tracer: Exit closes it" driver tracer-gone 10000
check "tracer: tracing stopped with the window" eventually 10 sim_says "trace off"

# --- The configuration dialogs over the main window, each change round-tripped
# through the simulated tester.
tc="TX52 Test Configuration"
driver click 1078
check "Configure: the dialog opens" quietly driver dlg-text "$tc" 1137
sleep 0.5
shot 30-test-configuration
driver dlg-click "$tc" 1085
check "Force Limit: the danger confirmation" quietly driver wait-box Danger 5000 1097
shot 31-danger
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
shot 32-source-types
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
shot 33-calibration-confirm
driver answer-with Voltiq 6
gain_read_back() { [ "$(driver dlg-text Calibration 1126)" = "1.002506" ]; }
check "Calibrate: gain 1.002506" eventually 5 gain_read_back
driver dlg-raise Calibration
sleep 0.5
shot 34-calibration
driver dlg-click Calibration 1
driver click 1113
driver dlg-text Calibration 1125 >/dev/null
driver dlg-select Calibration 1231 1
check "reopened: gain read back from the tester" eventually 5 gain_read_back
driver dlg-click Calibration 2

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

# --- ampwright-cli.exe from a script, on the same port once the application
# has let it go: identity, three readings, and a short voltage-versus-current
# test on the charger's 9 V profile that passes and leaves the load off.
cli_exe="$windows_dir/ampwright-cli.exe"
cli() { wine "$cli_exe" "$@" 2>>"$out/cli.log" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
echo "clear-faults" >"$fifo"
cli_info=$(cli info --port "$port")
check "cli info: the tester's identity" contains "$cli_info" "device id: $device_id"
cli_readings=$(cli monitor --count 3 --interval 200 --csv --port "$port")
check "cli monitor: a header and three readings" [ "$(wc -l <<<"$cli_readings")" = 4 ]
cli profile 1 --port "$port" >/dev/null
cli vi-test --step 500 --step-time 700 -o "$out/cli-vi-test.csv" --port "$port"
check "cli vi-test: every step passes (exit 0)" [ "$?" = 0 ]
check "cli vi-test: the CSV up to 3000 mA" grep -q ",3000,.*PASS" "$out/cli-vi-test.csv"
check "cli vi-test: the load is off afterwards" sim_says "load 0 mA"

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

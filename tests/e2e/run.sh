#!/usr/bin/env bash
# End-to-end checks of Ampwright.exe under Wine and Xvfb: the simulated tester
# registered as a COM port device and served by ampwright-sim on a pty, and
# e2e-driver.exe working the application's controls from a second process.
# Screenshots go to build/e2e/. Prints one line per check and ends with
# "e2e: N passed, M failed"; exits non-zero when a check failed.
# Environment: AMPWRIGHT_E2E_WINDOWS (default build/windows), AMPWRIGHT_E2E_SIM
# (default build/native/ampwright-sim), AMPWRIGHT_E2E_PORT (default COM7).
set -u
AMPWRIGHT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$AMPWRIGHT_ROOT" || exit 1
source tests/e2e/checks.sh

windows_dir=${AMPWRIGHT_E2E_WINDOWS:-build/windows}
sim=${AMPWRIGHT_E2E_SIM:-build/native/ampwright-sim}
port=${AMPWRIGHT_E2E_PORT:-COM7}
out="$AMPWRIGHT_ROOT/build/e2e"
device_id=VQE2E00000007
app_exe="$windows_dir/Ampwright.exe"
ampwright_driver_exe="$windows_dir/e2e-driver.exe"

abort() { echo "FAIL $1"; echo "e2e: 0 passed, 1 failed"; exit 1; }

for f in "$app_exe" "$ampwright_driver_exe" "$sim"; do [ -e "$f" ] || abort "missing $f"; done
rm -rf "$out"
mkdir -p "$out"

# A fresh prefix of our own, copied from the project's ready one, so that no
# other run's COM ports or devices are seen and a server of our own runs it.
ampwright_wine_prefix || abort "wine prefix"
ampwright_ensure_display || abort "display"
export WINEPREFIX="$out/wineprefix"
cp -a "$AMPWRIGHT_ROOT/build/wineprefix" "$WINEPREFIX"
rm -f "$WINEPREFIX"/dosdevices/com*
wineserver -p 60 >/dev/null 2>&1
ampwright_unregister_tester "$port"

graph_title="Graphs and Tests"
tracer_title="Power Delivery Protocol Tracer"
graph() { driver on "$graph_title" "$@"; }
tracer() { driver on "$tracer_title" "$@"; }
shot() { import -window root "$out/$1.png" 2>/dev/null; }
# box_says NAME TITLE PATTERN [ID]: the box's text (or control ID's) matches
# the glob PATTERN; the box is then answered with OK.
box_says() {
  local said
  said=$(driver on "$2" text "${4:-65535}")  # 65535: a message box's text
  check "$1" matches "$said" "$3"
  driver on "$2" answer "$IDOK" >/dev/null
}
# enter WINDOW EDIT TEXT BUTTON: types into an edit and presses a button.
enter() { "$1" set-text "$2" "$3"; "$1" click "$4"; }
set_load() { enter driver "$IDC_CURRENT_EDIT" "$1" "$IDC_CURRENT_SET"; }
choose_profile() {
  local index
  index=$(driver items "$IDC_SELECT_PROFILE" | grep -nxF "$1" | cut -d: -f1)
  driver select "$IDC_SELECT_PROFILE" $((${index:-1} - 1))
}
# run_button NAME SHOWN [MS]: presses the graph window's Run/Stop button.
run_button() { graph click "$IDC_GRAPH_RUN"; check "$1" quietly graph wait-text "$IDC_GRAPH_RUN" "$2" "${3:-5000}"; }
vi_range() { several graph set-text "$IDC_GRAPH_CURRENT_STEP" "$1" "$IDC_GRAPH_STEP_TIME" "$2"; }

app_pids=()
fifo="$out/sim.in"
start_sim() { AMPWRIGHT_SIM="$sim" ampwright_start_sim "$port" "$fifo" "$out/sim.log" --device-id "$device_id"; }
stop_sim() { ampwright_stop_sim vanish; }
# What the simulator says about itself now; its last line names the faults.
sim_status() {
  local before
  before=$(wc -c <"$out/sim.log")
  echo status >"$fifo"
  for _ in $(seq 1 50); do
    sleep 0.1
    tail -c +$((before + 1)) "$out/sim.log" | grep -q '^faults:' && break
  done
  tail -c +$((before + 1)) "$out/sim.log"
}
sim_says() { contains "$(sim_status)" "$1"; }
start_app() {
  wine "$app_exe" >>"$out/app.log" 2>&1 &
  app_pids+=($!)
}
wait_exit() {  # pid, seconds
  for _ in $(seq 1 $(($2 * 10))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
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
check "no tester: message box" contains "$(driver on "Ampwright: Error" text 65535)" \
  "No Quarnel Voltiq device detected."  # 65535: the box's text
shot 01-no-tester
driver on "Ampwright: Error" answer "$IDOK" >/dev/null
check "no tester: caption" [ "$(driver caption)" = "Quarnel(TM) Ampwright App" ]
driver click "$IDC_CONFIGURE"
box_says "no tester: Configure is refused" "Ampwright: Error" "No Voltiq device selected."
start_app
driver on "Ampwright: Error" answer "$IDOK" >/dev/null
two_windows() { [ "$(driver count)" = 2 ]; }
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
check "ID shows the tester's device ID" quietly driver wait-text "$IDC_DEVICE_ID" "$device_id" 20000
check "device list entry" contains "$(driver items "$IDC_DEVICE_LIST")" "Voltiq ($port)"
check "sink voltage readout" quietly driver wait-text "$IDC_SINK_VBUS" "5.00 V" 10000
check "sink profile type" [ "$(driver text "$IDC_SINK_PROFILE_TYPE")" = "PD-FIX" ]
check "profile list filled" quietly driver wait-text "$IDC_SELECT_PROFILE" "PD-FIX" 10000
check "profile list shows the charger's offers" contains "$(driver items "$IDC_SELECT_PROFILE")" "PD-FIX 9.00V"
check "temperature readout" contains "$(driver text "$IDC_TEMPERATURE")" " C"
shot 03-connected

choose_profile "PD-FIX 9.00V"
check "9 V profile: readout follows" quietly driver wait-text "$IDC_SINK_VBUS" "9.00 V" 10000
check "9 V profile: the simulator renegotiated" eventually 10 sim_says "9000 mV"
shot 04-profile-9v

set_load 1000
current_ok() {
  local ma
  ma=$(driver text "$IDC_SINK_CURRENT" | grep -oE '^[0-9]+')
  [ -n "$ma" ] && [ "$ma" -ge 950 ] && [ "$ma" -le 1050 ]
}
check "Set 1000 mA: Internal Current follows" eventually 10 current_ok
check "Set 1000 mA: the simulator draws it" eventually 10 sim_says "load 1000 mA"
shot 05-current-1000ma

choose_profile "PD-PPS 3.30V-11.00V"
check "PPS profile negotiated" quietly driver wait-text "$IDC_SINK_PROFILE_TYPE" "PD-PPS" 10000
# The poll loop writes the negotiated voltage into the edit once: type after it.
driver wait-text "$IDC_VOLTAGE_EDIT" "11000" 10000 >/dev/null
enter driver "$IDC_VOLTAGE_EDIT" 2000 "$IDC_VOLTAGE_SET"
box_says "PPS: a voltage below the profile is refused" "Ampwright: Error" "Please enter a number between 3300-11000"
enter driver "$IDC_VOLTAGE_EDIT" 7311 "$IDC_VOLTAGE_SET"
check "PPS: the voltage is rounded to 20 mV" quietly driver wait-text "$IDC_VOLTAGE_EDIT" "7300" 15000
check "PPS: the simulator supplies it" eventually 10 sim_says "7300 mV"
shot 06-pps-7300mv

driver click "$IDC_ABOUT"
IFS=. read -r major minor build <<<"$(ampwright_version)"
box_says "About shows the version" "About Ampwright" "Voltiq V$major.$minor ($build)" "$IDC_ABOUT_VERSION"

driver click "$IDC_SINK_DISCONNECT"
check "Disconnect USB-C flips to Connect USB-C" quietly driver wait-text "$IDC_SINK_DISCONNECT" "Connect USB-C" 15000
sink_detached() { ! grep -q "(attached)" <<<"$(sim_status)"; }
check "the simulator's sink port is disconnected" eventually 10 sink_detached
shot 07-sink-disconnected
driver click "$IDC_SINK_DISCONNECT"
check "Connect USB-C flips back" quietly driver wait-text "$IDC_SINK_DISCONNECT" "Disconnect USB-C" 15000
check "the sink port comes back" quietly driver wait-text "$IDC_SINK_VBUS" "5.00 V" 15000

# --- The tester unplugged and plugged back in.
stop_sim
ampwright_unregister_tester "$port"
driver device-change removal
check "unplugged: the device list is empty" [ -z "$(driver items "$IDC_DEVICE_LIST")" ]
check "unplugged: the ID is cleared" [ "$(driver text "$IDC_DEVICE_ID")" = " " ]
shot 08-unplugged
start_sim
ampwright_register_tester "$port"
driver device-change arrival
check "replugged: listed again" contains "$(driver items "$IDC_DEVICE_LIST")" "Voltiq ($port)"
check "replugged: reconnected" quietly driver wait-text "$IDC_DEVICE_ID" "$device_id" 10000
check "replugged: live readings again" quietly driver wait-text "$IDC_SINK_VBUS" "5.00 V" 15000
shot 09-replugged

log="$out/event-log.txt"
driver save "$IDC_SAVE_LOG" "$(winpath "$log")" 15000
check "log: the disconnection" grep -q "Device Voltiq ($port) disconnected" "$log"
check "log: selected again after the disconnection" \
  grep -q "Device Voltiq ($port) selected" <(sed -n "/disconnected/,\$p" "$log")

# --- The graph window: real-time graphs while the load steps, saved as images.
set_load 1000
check "graphs: a load of 1000 mA first" eventually 10 sim_says "load 1000 mA"
driver click "$IDC_GRAPHS"
check "graphs: the window opens" driver wait-window 10000 "$graph_title"
check "graphs: real-time is chosen" [ "$(graph text "$IDC_GRAPH_TYPE")" = "Real-Time" ]
several graph select "$IDC_GRAPH_SIGNAL" 3 "$IDC_GRAPH_TIME_DIVISION" 3
graph set-text "$IDC_GRAPH_DURATION" 60
run_button "graphs: Run shows Stop" "Stop"
check "graphs: Close is disabled while running" [ "$(graph enabled "$IDC_GRAPH_CLOSE")" = 0 ]
sleep 2
echo "cable 600" >"$fifo"
sleep 2
echo "cable 80" >"$fifo"
sleep 1
shot 10-graph-sink-voltage
run_button "graphs: Stop shows Run Test" "Run Test"
check "graphs: Save Graph is enabled after the run" [ "$(graph enabled "$IDC_GRAPH_SAVE")" = 1 ]

several graph select "$IDC_GRAPH_SIGNAL" 4 "$IDC_GRAPH_TIME_DIVISION" 2
run_button "graphs: the sink current graph runs" "Stop"
sleep 1
set_load 2000
check "graphs: the load steps to 2000 mA" eventually 10 sim_says "load 2000 mA"
sleep 1
set_load 500
sleep 1.5
shot 11-graph-sink-current
graph select "$IDC_GRAPH_TIME_DIVISION" 3
check "graphs: a new time division stops the run" quietly graph wait-text "$IDC_GRAPH_RUN" "Run Test" 5000
check "graphs: the division is kept" [ "$(graph text "$IDC_GRAPH_TIME_DIVISION")" = "1 second" ]
shot 12-graph-stopped

for format in PNG:png JPEG:jpg; do
  image="$out/graph.${format#*:}"
  format=${format%:*}
  graph save "$IDC_GRAPH_SAVE" "$(winpath "$image")" 15000
  box_says "graphs: $format saved message" Ampwright "Graph was successfully saved to image file:*${image##*/}*"
  check "graphs: the $format decodes" [ "$(identify -format %m "$image" 2>/dev/null)" = "$format" ]
done
before=$(graph size "$IDC_GRAPH_AREA")
graph resize 1260 780
grown() { [ "$(graph size "$IDC_GRAPH_AREA")" != "$before" ]; }
check "graphs: the graph area grows with the window" eventually 5 grown
shot 13-graph-resized
graph resize 600 300
check "graphs: the window keeps its minimum size" [ "$(graph size "$IDC_GRAPH_AREA" | cut -dx -f1)" -gt 500 ]
enter graph "$IDC_GRAPH_DURATION" 0 "$IDC_GRAPH_RUN"
box_says "graphs: duration 0 is refused" "Ampwright Error" "Minimum value for Test Duration is 1 second"
check "graphs: the duration edit is reset" quietly graph wait-text "$IDC_GRAPH_DURATION" "1" 5000
graph click "$IDC_GRAPH_CLOSE"
check "graphs: Close ends the window" driver gone "$graph_title" 10000

# --- The voltage-versus-current test and the FFT in the graph window: a 9 V
# PD charger on a 150 mOhm cable, then a DCP; each stopped half-way once.
# stopped_half_way LABEL HALF_MA: a second run, stopped with the load on.
stopped_half_way() {
  run_button "tests: $1: a second run starts" "Stop"
  check "tests: $1: half-way the load is on" eventually 15 sim_says "load $2 mA"
  run_button "tests: $1: Stop ends the run" "Run Test"
  check "tests: $1: Stop switches the load off" eventually 10 sim_says "load 0 mA"
}
vi_csv="$out/vi-9v.csv"
echo "cable 150" >"$fifo"
set_load 0
check "tests: the load is off first" eventually 10 sim_says "load 0 mA"
choose_profile "PD-FIX 9.00V"
check "tests: 9 V negotiated" quietly driver wait-text "$IDC_SINK_VBUS" "9." 10000
driver click "$IDC_GRAPHS"
graph select "$IDC_GRAPH_TYPE" 1
vi_range 250 400
run_button "tests: the voltage-versus-current test runs" "Stop"
locked() { [ "$(graph enabled "$IDC_GRAPH_CURRENT_STEP")" = 0 ]; }
check "tests: its settings are locked while it runs" eventually 5 locked
check "tests: the run ends by itself" quietly graph wait-text "$IDC_GRAPH_RUN" "Run Test" 40000
check "tests: the status line shows the extremes" contains "$(graph wait-text "$IDC_GRAPH_STATUS" "V(Min):" 3000)" "I Total(Max):"
sleep 0.5
shot 14-vi-pd-9v
check "tests: Export CSV is enabled" [ "$(graph enabled "$IDC_GRAPH_EXPORT_CSV")" = 1 ]
graph save "$IDC_GRAPH_EXPORT_CSV" "$(winpath "$vi_csv")" 15000
check "tests: the CSV has a header and 13 steps" [ "$(wc -l <"$vi_csv")" = 14 ]
check "tests: the CSV header" [ "$(head -1 "$vi_csv" | tr -d '\r')" = "Voltage (V), Current (mA), Power (W), Compliance (PASS/FAIL) " ]
check "tests: the CSV's last step is at 3000 mA" contains "$(tail -1 "$vi_csv")" ",3000,"
check "tests: the load is off after the run" eventually 10 sim_says "load 0 mA"
graph set-text "$IDC_GRAPH_STEP_TIME" 1000
stopped_half_way "PD" 1500
shot 15-vi-stopped

# A tester that goes silent half-way: the window says the run is incomplete,
# no step after the silence is recorded, and the load goes off on the wire
# once the tester answers again.
silenced_csv="$out/vi-silenced.csv"
run_button "tests: silenced: a run starts" "Stop"
check "tests: silenced: half-way the load is on" eventually 15 sim_says "load 1500 mA"
silenced_at=$(sim_status | grep -o 'load [0-9]* mA' | head -n 1 | grep -o '[0-9]*')
echo "silent on" >"$fifo"
box_says "tests: silenced: the window says the run is incomplete" "Ampwright Error" \
  "The Voltage vs. Current test is incomplete: the tester stopped answering at * mA.*"
echo "silent off" >"$fifo"
check "tests: silenced: the run has ended" quietly graph wait-text "$IDC_GRAPH_RUN" "Run Test" 15000
shot 15b-vi-silenced
graph save "$IDC_GRAPH_EXPORT_CSV" "$(winpath "$silenced_csv")" 15000
last_step() { tail -n +2 "$silenced_csv" | cut -d, -f2 | sort -n | tail -n 1; }
check "tests: silenced: steps before the silence are kept" [ "$(wc -l <"$silenced_csv")" -gt 2 ]
check "tests: silenced: no step after the silence" [ "$(last_step)" -le "${silenced_at:-0}" ]
check "tests: silenced: the load is off on the wire afterwards" eventually 15 sim_says "load 0 mA"

echo "charger dcp" >"$fifo"
check "tests: the DCP is attached" eventually 15 sim_says "dcp"
check "tests: 5 V from the DCP" quietly driver wait-text "$IDC_SINK_VBUS" "5." 15000
sleep 2
vi_range 50 300
run_button "tests: the DCP test runs" "Stop"
check "tests: the DCP test ends by itself" quietly graph wait-text "$IDC_GRAPH_RUN" "Run Test" 60000
sleep 0.5
shot 16-vi-dcp
vi_range 250 2000
stopped_half_way "DCP" 500

echo "charger pd65" >"$fifo"
check "tests: the PD charger is back" quietly driver wait-text "$IDC_SINK_PROFILE_TYPE" "PD-FIX" 15000
set_load 2000
check "tests: a load for the FFT" eventually 10 sim_says "load 2000 mA"
graph select "$IDC_GRAPH_TYPE" 2
run_button "tests: the FFT runs" "Stop"
sleep 4
shot 17-fft
run_button "tests: the FFT stops" "Run Test"
set_load 0
graph click "$IDC_GRAPH_CLOSE"
echo "cable 80" >"$fifo"

# --- The PD tracer: a negotiation's rows in each view, a data object chosen,
# the export against ampwright-cli decode of the same messages, composed
# messages with their echoes coloured, a replay under load, tracing stopped
# on close.
cli=${AMPWRIGHT_E2E_CLI:-build/native/ampwright-cli}
tracer_shot() { import -window "$(xdotool search --name "^$tracer_title\$" | head -n 1)" "$out/$1.png" 2>/dev/null; }
trace_csv="$out/trace.csv"
# A capture of 20,000 rows takes a while to write on a busy machine.
export_trace() { rm -f "$trace_csv"; tracer save "$IDC_TRACER_EXPORT_CSV" "$(winpath "$trace_csv")" 60000 && [ -s "$trace_csv" ]; }
trace_has() { export_trace && grep -q "$1" "$trace_csv"; }
send_enabled() { [ "$(tracer enabled "$IDC_COMPOSER_SEND")" = 1 ]; }
send_disabled() { ! send_enabled; }
echo_pixels() { convert "$out/$1.png" -format %c histogram:info:- 2>/dev/null | grep -i "#D9C4EC" | awk '{s += $1} END {print s + 0}'; }
compose() { tracer select "$IDC_COMPOSER_TYPE" "$1"; sleep 0.3; }  # a message type by its index

driver click "$IDC_MESSAGE_TRACER"
check "tracer: Message Tracer opens it" driver wait-window 10000 "$tracer_title"
check "tracer: the tester traces" eventually 10 sim_says "trace on"
driver click "$IDC_MESSAGE_TRACER"
sleep 0.5
check "tracer: a second press keeps one window" [ "$(driver count "$tracer_title")" = 1 ]
echo unplug >"$fifo"
sleep 1
echo "plug pd65" >"$fifo"
negotiated() { trace_has "^PS_RDY,DFP,Source"; }
check "tracer: the charger's negotiation arrives" eventually 20 negotiated
check "tracer: Source_Capabilities row" grep -q "^Source_Capabilities,DFP,Source,3.0,[0-7],[1-7],0x" "$trace_csv"
slot_list=""
for id in "$IDC_TRACER_SLOT_LIST_0" "$IDC_TRACER_SLOT_LIST_1" "$IDC_TRACER_SLOT_LIST_2" "$IDC_TRACER_SLOT_LIST_3" \
  "$IDC_TRACER_SLOT_LIST_4" "$IDC_TRACER_SLOT_LIST_5" "$IDC_TRACER_SLOT_LIST_6" "$IDC_TRACER_SLOT_LIST_7" \
  "$IDC_TRACER_SLOT_LIST_8" "$IDC_TRACER_SLOT_LIST_9" "$IDC_TRACER_SLOT_LIST_10" "$IDC_TRACER_SLOT_LIST_11" \
  "$IDC_TRACER_SLOT_LIST_12" "$IDC_TRACER_SLOT_LIST_13" "$IDC_TRACER_SLOT_LIST_14" "$IDC_TRACER_SLOT_LIST_15"; do
  [ "$(tracer items $id | wc -l)" -ge 2 ] && { slot_list=$id; break; }
done
check "tracer: a data message lists its object positions" [ -n "$slot_list" ]
tracer select "${slot_list:-$IDC_TRACER_SLOT_LIST_0}" 1
sleep 0.5
check "tracer: the chosen data object stays chosen" [ "$(tracer selected "${slot_list:-$IDC_TRACER_SLOT_LIST_0}")" = 1 ]
for view in 0:20-tracer-default 1:21-tracer-extended-data 2:22-tracer-raw-messages; do
  tracer select "$IDC_TRACER_VIEW_MODE" "${view%%:*}"
  sleep 0.5
  tracer_shot "${view#*:}"
done
tracer select "$IDC_TRACER_VIEW_MODE" 0

awk -F, 'NR > 1 { print $8 }' "$trace_csv" | tr -d '\r' >"$out/trace-messages.txt"
"$cli" decode "$out/trace-messages.txt" -o "$out/trace-cli.csv"
check "tracer: the export equals ampwright-cli decode of its messages" cmp -s "$trace_csv" "$out/trace-cli.csv"

compose 3  # Get_Source_Cap
tracer click "$IDC_COMPOSER_SEND"
check "tracer: Get_Source_Cap sent, Send waits for quiet" eventually 5 send_disabled
check "tracer: Send returns after a quiet period" eventually 15 send_enabled
check "tracer: the sent Get_Source_Cap is traced" trace_has "^Get_Source_Cap,UFP,Sink,3.0,"
tracer_shot 23-tracer-named-echo
check "tracer: its echo row is coloured" [ "$(echo_pixels 23-tracer-named-echo)" -gt 500 ]
compose 15  # Request: the eight data-object fields
tracer_shot 23-tracer-composer-data-objects
compose 42  # Custom
enter tracer "$IDC_COMPOSER_MESSAGE" 0x41061 "$IDC_COMPOSER_SEND"
box_says "tracer: an odd number of digits is refused" "Ampwright Error" \
  "Custom message must have an even number of hexadecimal digits."
enter tracer "$IDC_COMPOSER_MESSAGE" 470c "$IDC_COMPOSER_SEND"
check "tracer: the Custom text is rewritten" quietly tracer wait-text "$IDC_COMPOSER_MESSAGE" "0x470C" 5000
check "tracer: Send returns after the Custom message" eventually 15 send_enabled
check "tracer: the Custom message is traced" trace_has "^Get_Source_Cap,UFP,Sink,2.0,6,0, ,0x470C"
tracer_shot 24-tracer-custom-echo

# Choosing the tester again reconnects it, which stops its trace: the open
# tracer has it trace again.
ps_rdy_rows() { export_trace && grep -c "^PS_RDY,DFP,Source" "$trace_csv"; }
rows_before=$(ps_rdy_rows)
driver select "$IDC_DEVICE_LIST" 0
sleep 3
echo unplug >"$fifo"
sleep 1
echo "plug pd65" >"$fifo"
more_ps_rdy() { [ "$(ps_rdy_rows)" -gt "$rows_before" ]; }
check "tracer: a tester chosen again is traced on" eventually 20 more_ps_rdy

# Under load: a replay of GoodCRC and Request messages at 2,000 per second
# while the poll loop runs; the simulator drops what the line cannot take, as
# a tester does. AMPWRIGHT_E2E_REPLAY="COUNT RATE" sets its size.
read -r replay_count replay_rate <<<"${AMPWRIGHT_E2E_REPLAY:-20000 2000}"
ampwright_replay_file "$out/replay.txt" "$replay_count"
tracer click "$IDC_TRACER_CLEAR_LOG"
replay_started=$(date +%s%N)
echo "replay $out/replay.txt $replay_rate" >"$fifo"
sleep 1
started=$(date +%s%N)
set_load 700
check "load: the poll loop serves a request during the replay" eventually 10 sim_says "load 700 mA"
echo "load: request served after $((($(date +%s%N) - started) / 1000000)) ms"
ping_ms=$(tracer ping 40)
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
check "load: every replayed message arrived" [ "$rows" -ge "$replay_count" -a "$requests" -eq $((replay_count / 2)) ]
tracer_shot 25-tracer-after-load

# The keyboard reaches the modeless tracer: Tab moves the focus, Esc closes it.
focus_before=$(tracer focused)
tracer key "$IDC_TRACER_CLEAR_LOG" 9
check "tracer: Tab moves the focus" eventually 5 [ "$(tracer focused)" != "$focus_before" ]
tracer key "$IDC_TRACER_CLEAR_LOG" 27
check "tracer: Esc closes it" driver gone "$tracer_title" 10000
check "tracer: tracing stopped with the window" eventually 10 sim_says "trace off"

# --- The configuration dialogs over the main window, each change round-tripped
# through the simulated tester.
tcfg() { driver on "TX52 Test Configuration" "$@"; }
danger() { driver on Danger "$@"; }
driver click "$IDC_CONFIGURE"
check "Configure: the dialog opens" quietly tcfg text "$IDC_TC_VOLTAGE"
sleep 0.5
shot 30-test-configuration
tcfg click "$IDC_TC_FORCE"
check "Force Limit: the danger confirmation" quietly danger text "$IDC_DANGER_WORD"
sleep 0.5
shot 31-danger
enter danger "$IDC_DANGER_WORD" "confirm " "$IDOK"
box_says "Danger: 'confirm ' is refused" Ampwright \
  "Type the word 'confirm' and then click on the 'I accept the risk' button"
enter danger "$IDC_DANGER_WORD" CONFIRM "$IDOK"
check "Danger: CONFIRM is accepted" driver gone Danger 5000
tcfg select "$IDC_TC_FORCED_LIMIT" 5
tcfg click "$IDC_TC_ESTIMATE"
enter tcfg "$IDC_TC_CABLE" 150 "$IDOK"
check "OK: the slider limit shows the forced 3.5 A" quietly driver wait-text "$IDC_CURRENT_SLIDER_MAX" "3500mA" 5000
check "OK: the sink voltage label follows the estimate" [ "$(driver text "$IDC_SINK_VBUS_LABEL")" = "Upstream VBUS" ]
check "the simulator enforces the forced limit" eventually 10 sim_says "limit 3500 mA"
driver click "$IDC_CONFIGURE"
check "reopened: the cable resistance read back" [ "$(tcfg text "$IDC_TC_CABLE")" = "150" ]
check "reopened: Force Limit is the mode last sent" [ "$(tcfg checked "$IDC_TC_FORCE")" = 1 ]
# OK, then Configure again at once: the stored settings are shown and sent,
# never the tester's older registers.
[ "$(tcfg checked "$IDC_TC_VOLTAGE_MAX")" = 1 ] && tcfg click "$IDC_TC_VOLTAGE_MAX"
voltage_editable() { [ "$(tcfg enabled "$IDC_TC_VOLTAGE")" = 1 ]; }
check "the default voltage is editable" eventually 5 voltage_editable
enter tcfg "$IDC_TC_VOLTAGE" 12000 "$IDOK"
check "OK closes the dialog" driver gone "TX52 Test Configuration" 5000
driver click "$IDC_CONFIGURE"
check "reopened at once: the default voltage OK stored" [ "$(tcfg text "$IDC_TC_VOLTAGE")" = "12000" ]
tcfg click "$IDCANCEL"
sleep 2
driver click "$IDC_CONFIGURE"
check "reopened later: the tester holds 12000 mV" [ "$(tcfg text "$IDC_TC_VOLTAGE")" = "12000" ]
# A rejected OK, then Cancel: nothing of it stays, the limit and the label
# are as before.
tcfg select "$IDC_TC_FORCED_LIMIT" 9
tcfg click "$IDC_TC_ESTIMATE"
enter tcfg "$IDC_TC_VOLTAGE" 25000 "$IDOK"
box_says "OK: 25000 mV is refused" "Ampwright Error" "Maximum value for Default Voltage is 21000mV"
tcfg click "$IDCANCEL"
check "Cancel: the slider limit is the forced 3.5 A again" quietly driver wait-text "$IDC_CURRENT_SLIDER_MAX" "3500mA" 5000
check "Cancel: the sink voltage label is as before" [ "$(driver text "$IDC_SINK_VBUS_LABEL")" = "Upstream VBUS" ]
check "Cancel: the tester still enforces 3.5 A" eventually 10 sim_says "limit 3500 mA"

sc() { driver on "Source Type Configuration" "$@"; }
echo "source-device on 20000 1000" >"$fifo"
check "a device on the source port takes 20 V" eventually 10 sim_says "source port: 20000 mV"
driver click "$IDC_CONFIG_SRC"
check "Config Src: the dialog opens" contains "$(sc text "$IDC_SRC_TYPE")" "1. "
sc select "$IDC_SRC_TYPE" 0
picked_name() { [ "$(sc text "$IDC_SRC_NAME")" = "PD 100W" ]; }
check "the picked type's name" eventually 5 picked_name
sc set-text "$IDC_SRC_NAME" "E2E 60W"
sc click "$((IDC_SRC_PROFILE + 5 * 3))"  # the check box of PD Profile 4
sleep 0.5
shot 32-source-types
sc click "$IDOK"
# The confirmation has an empty title: only a visible box of that title is it.
box_says "APPLY confirms" "" "Source Configuration Applied."
check "the main list shows the new name" contains "$(driver items "$IDC_SELECT_SOURCE_TYPE")" "1. E2E 60W"
check "the source port offers the changed type at once" eventually 10 sim_says "source port: 15000 mV"
sc click "$IDCANCEL"

cal() { driver on Calibration "$@"; }
driver click "$IDC_CALIBRATION"
check "Calibration: the dialog opens" [ "$(cal text "$IDC_CAL_DATE")" = "N/A" ]
cal select "$IDC_CAL_PORT" 1
cal click "$IDC_CAL_USER_POINTS"
several cal set-text "$IDC_CAL_APPLIED_1" 4000 "$IDC_CAL_APPLIED_2" 20000
cal click "$IDC_CAL_READ_1"
read_near_5v() {
  local v
  v=$(cal text "$IDC_CAL_MEASURED_1")
  [[ "$v" =~ ^[0-9]+$ ]] && [ "$v" -ge 4900 ] && [ "$v" -le 5100 ]
}
check "Read: the sink voltage averaged while the poll goes on" eventually 10 read_near_5v
several cal set-text "$IDC_CAL_MEASURED_1" 3990 "$IDC_CAL_MEASURED_2" 19950
cal click "$IDC_CAL_CALIBRATE"
driver on Voltiq text 65535 >/dev/null  # the confirmation is up (65535: its text)
shot 33-calibration-confirm
driver on Voltiq answer 6  # Yes
gain_read_back() { [ "$(cal text "$IDC_CAL_GAIN")" = "1.002506" ]; }
check "Calibrate: gain 1.002506" eventually 5 gain_read_back
cal raise
sleep 0.5
shot 34-calibration
cal click "$IDOK"
driver click "$IDC_CALIBRATION"
cal text "$IDC_CAL_DATE" >/dev/null
cal select "$IDC_CAL_PORT" 1
check "reopened: gain read back from the tester" eventually 5 gain_read_back
# Measured values typed the wrong way round would give a falling line.
several cal set-text "$IDC_CAL_MEASURED_1" 20000 "$IDC_CAL_MEASURED_2" 4000
cal click "$IDC_CAL_CALIBRATE"
driver on Voltiq text 65535 >/dev/null  # the confirmation is up (65535: its text)
driver on Voltiq answer 6  # Yes
box_says "Calibrate: a falling line is refused" "Voltiq Error" "These points give a gain of -1.000000*"
cal click "$IDCANCEL"
driver click "$IDC_CALIBRATION"
cal text "$IDC_CAL_DATE" >/dev/null
cal select "$IDC_CAL_PORT" 1
check "the stored calibration is untouched" eventually 5 gain_read_back
cal click "$IDCANCEL"

# --- Exit with a tester that stopped answering: the exchange in flight is
# cancelled instead of waited out, and the poll thread stops between
# exchanges. The time from the click to the end of the process is printed.
echo "silent on" >"$fifo"
sleep 1.5  # the poll thread is now waiting for answers that never come
click_start=$(date +%s%N)
driver click "$IDC_EXIT"
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
cli() { wine "$windows_dir/ampwright-cli.exe" "$@" --port "$port" 2>>"$out/cli.log" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
echo "clear-faults" >"$fifo"
check "cli info: the tester's identity" contains "$(cli info)" "device id: $device_id"
check "cli monitor: a header and three readings" [ "$(wc -l <<<"$(cli monitor --count 3 --interval 200 --csv)")" = 4 ]
cli profile 1 >/dev/null
check "cli vi-test: every step passes (exit 0)" cli vi-test --step 500 --step-time 700 -o "$out/cli-vi-test.csv"
check "cli vi-test: the CSV up to 3000 mA" grep -q ",3000,.*PASS" "$out/cli-vi-test.csv"
check "cli vi-test: the load is off afterwards" sim_says "load 0 mA"

# --- Display scales. The painted panes follow the window's scale: a move to
# a 200 % monitor, and 150 % from the start, where every window fits the
# 1280 x 1024 screen.
# row_pitch SHOT: the height of the log pane's rows in the screenshot, from
# the dark lines between the rows in one column near the pane's right edge.
row_pitch() {
  local left top right bottom
  read -r left top right bottom <<<"$(driver rect "$IDC_LOG_PANE")"
  convert "$1" -crop "1x$((bottom - top - 2))+$((right - 8))+$((top + 1))" -colorspace gray -depth 8 gray:- |
    od -An -v -tu1 | tr -s ' ' '\n' | awk 'NF {
      dark = $1 < 64
      if (dark && !wasDark) { if (last != "") pitch[y - last]++; last = y }
      wasDark = dark; y++
    } END { best = 0; for (p in pitch) if (p + 0 >= 8 && pitch[p] > pitch[best] + 0) best = p + 0; print best }'
}
# scaled_by NAME FROM TO TENTHS: TO is FROM times TENTHS / 10, give or take 7 %.
scaled_by() { check "$1 ($2 -> $3 px)" [ "$2" -gt 0 -a $(($3 * 100)) -ge $(($2 * $4 * 93 / 10)) -a $(($3 * 100)) -le $(($2 * $4 * 107 / 10)) ]; }
read -r screen_w screen_h <<<"$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')"
on_screen() {  # WINDOW-FUNCTION: the window lies inside the screen
  local l t r b
  read -r l t r b <<<"$("$1" rect 0)"
  [ "$l" -ge 0 ] && [ "$t" -ge 0 ] && [ "$r" -le "$screen_w" ] && [ "$b" -le "$screen_h" ]
}
connected_app() {
  start_app
  driver wait-window 20000 && driver wait-text "$IDC_SINK_VBUS" " V" 20000 >/dev/null && sleep 1
}
set_dpi() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
check "scale: connected at 100 %" connected_app
shot 40-scale-100
pitch100=$(row_pitch "$out/40-scale-100.png")
driver dpi-change 192
sleep 1
shot 41-scale-200-moved
scaled_by "scale: log rows twice as tall after a move to a 200 % monitor" "$pitch100" "$(row_pitch "$out/41-scale-200-moved.png")" 20
driver click "$IDC_EXIT"
check "scale: Exit at 100 %" wait_exit "${app_pids[-1]}" 15
set_dpi 144
check "scale: connected at 150 %" connected_app
shot 42-scale-150
scaled_by "scale: log rows 1.5 times as tall at 150 %" "$pitch100" "$(row_pitch "$out/42-scale-150.png")" 15
check "scale: the main window fits the screen at 150 %" on_screen driver
# fits_at_150 NAME BUTTON TITLE WINDOW-FUNCTION CLOSE-ID SHOT: opens a window,
# photographs it, checks it lies on the screen and closes it.
fits_at_150() {
  driver click "$2"
  driver wait-window 10000 "$3" && sleep 1
  shot "$6"
  check "scale: $1 fits the screen at 150 %" on_screen "$4"
  "$4" click "$5"
  driver gone "$3" 10000
}
fits_at_150 "the tracer" "$IDC_MESSAGE_TRACER" "$tracer_title" tracer "$IDC_TRACER_EXIT" 43-scale-150-tracer
fits_at_150 "the graph window" "$IDC_GRAPHS" "$graph_title" graph "$IDC_GRAPH_CLOSE" 44-scale-150-graph
driver click "$IDC_EXIT"
check "scale: Exit at 150 %" wait_exit "${app_pids[-1]}" 15
set_dpi 96
app_pids=()

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

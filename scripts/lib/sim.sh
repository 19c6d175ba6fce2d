# The simulated tester on a pty linked as a COM port, fed commands through a
# fifo. Sourced by the scripts after wine.sh; expects the Wine environment.

AMPWRIGHT_SIM_PID=""
AMPWRIGHT_SIM_HOLDER=""
AMPWRIGHT_SIM_FIFO=""

# ampwright_start_sim_at LINK FIFO LOG [SIMULATOR ARGUMENTS...]: starts
# build/native/ampwright-sim (or $AMPWRIGHT_SIM) on a pty linked as LINK with
# a 65 W PD charger plugged in; commands written to FIFO reach it, its
# answers go to LOG. A holder keeps the fifo open between commands.
ampwright_start_sim_at() {
  local link=$1 fifo=$2 log=$3
  shift 3
  rm -f "$fifo" "$link"
  mkfifo "$fifo"
  sleep 1000000 >"$fifo" &
  AMPWRIGHT_SIM_HOLDER=$!
  AMPWRIGHT_SIM_FIFO=$fifo
  "${AMPWRIGHT_SIM:-$AMPWRIGHT_ROOT/build/native/ampwright-sim}" --link "$link" "$@" <"$fifo" >>"$log" 2>&1 &
  AMPWRIGHT_SIM_PID=$!
  echo "plug pd65" >"$fifo"
  local i
  for i in $(seq 1 50); do [ -e "$link" ] && return 0; sleep 0.1; done
  echo "the simulator did not link $link" >&2
  return 1
}

# ampwright_start_sim PORT FIFO LOG [SIMULATOR ARGUMENTS...]: the same on the
# pty that Wine's COM port PORT leads to.
ampwright_start_sim() {
  local port=$1
  shift
  ampwright_start_sim_at "$(ampwright_com_link "$port")" "$@"
}

# ampwright_stop_sim [vanish]: ends the simulator; with "vanish" the tester
# first stops answering, as one unplugged would.
ampwright_stop_sim() {
  if [ -n "$AMPWRIGHT_SIM_PID" ]; then
    [ "${1:-}" = vanish ] && { echo vanish >"$AMPWRIGHT_SIM_FIFO"; sleep 0.2; }
    kill "$AMPWRIGHT_SIM_PID" 2>/dev/null
    wait "$AMPWRIGHT_SIM_PID" 2>/dev/null
  fi
  [ -n "$AMPWRIGHT_SIM_HOLDER" ] && kill "$AMPWRIGHT_SIM_HOLDER" 2>/dev/null
  AMPWRIGHT_SIM_PID=""
  AMPWRIGHT_SIM_HOLDER=""
}

# ampwright_replay_file FILE COUNT: COUNT traced messages for a replay,
# GoodCRC and Request in turn with rolling message ids.
ampwright_replay_file() {
  awk -v n="$2" 'BEGIN { for (i = 0; i < n; i++) {
    id = int(i / 2) % 8
    if (i % 2) printf "%02X %02X 2C B1 04 13\n", 130, 16 + id * 2
    else printf "%02X %02X\n", 65, id * 2 } }' >"$1"
}

# The libFuzzer targets of tests/fuzz: their tree and one run of a target.
# Sourced by the scripts; expects AMPWRIGHT_ROOT and build.sh.

# The names of the targets, from their sources.
ampwright_fuzz_targets() {
  local f
  for f in "$AMPWRIGHT_ROOT"/tests/fuzz/*_fuzz.cpp; do
    f=${f##*/}
    echo "${f%_fuzz.cpp}"
  done
}

# Builds build/fuzz with clang: the libraries with coverage and the
# sanitizers, and the targets; nothing else.
ampwright_build_fuzz() {
  CC=clang CXX=clang++ AMPWRIGHT_TARGET=fuzz-targets ampwright_build_tree fuzz -DAMPWRIGHT_FUZZ=ON
}

# ampwright_run_fuzz NAME CORPUS LOG LIBFUZZER-OPTIONS...: runs one target
# on its seeds (tests/fuzz/corpus/NAME) and CORPUS, which takes what the run
# finds new; a crash goes to build/fuzz/crashes/NAME-*. Prints
# "NAME: RUNS runs, CRASHES crashes" and succeeds when nothing crashed.
ampwright_run_fuzz() {
  local name=$1 corpus=$2 log=$3
  shift 3
  local crashes="$AMPWRIGHT_ROOT/build/fuzz/crashes"
  mkdir -p "$corpus" "$crashes" "$AMPWRIGHT_ROOT/tests/fuzz/corpus/$name"
  "$AMPWRIGHT_ROOT/build/fuzz/tests/fuzz/fuzz-$name" "$corpus" "$AMPWRIGHT_ROOT/tests/fuzz/corpus/$name" \
    -artifact_prefix="$crashes/$name-" -max_len=1024 -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 "$@" \
    >"$log" 2>&1
  local status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "$name: ${runs:-0} runs, $((status == 0 ? 0 : 1)) crashes"
  [ "$status" -eq 0 ]
}

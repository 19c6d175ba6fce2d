# Configures and builds the project's trees. Sourced by the scripts; expects
# AMPWRIGHT_ROOT.

# With AMPWRIGHT_TARGET set (target names separated by blanks), only those
# targets of the tree are built.
ampwright_build_tree() {  # name, extra cmake arguments...
  local dir="$AMPWRIGHT_ROOT/build/$1"
  shift
  cmake -S "$AMPWRIGHT_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log" >&2; return 1; }
  cmake --build "$dir" ${AMPWRIGHT_TARGET:+--target $AMPWRIGHT_TARGET} 2>&1 |
    grep -vE '^\[[0-9]+/[0-9]+\] |^ninja: no work to do' >&2
  return "${PIPESTATUS[0]}"
}

ampwright_build_all() {
  mkdir -p "$AMPWRIGHT_ROOT/build"
  ampwright_build_tree native &&
    ampwright_build_tree asan -DAMPWRIGHT_SANITIZE=ON &&
    AMPWRIGHT_TARGET=ampwright-tests ampwright_build_tree tsan -DAMPWRIGHT_TSAN=ON &&
    ampwright_build_tree windows -DCMAKE_TOOLCHAIN_FILE="$AMPWRIGHT_ROOT/cmake/mingw-w64.cmake"
}

# The project version (MAJOR.MINOR.BUILD), as CMakeLists.txt's project() has it.
ampwright_version() {
  sed -nE 's/^project\(Ampwright VERSION ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' "$AMPWRIGHT_ROOT/CMakeLists.txt"
}

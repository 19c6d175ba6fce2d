# Installs what the project needs and the machine lacks, quietly; does nothing
# when everything is there. Sourced by the scripts.

AMPWRIGHT_PACKAGES=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine wine64 fonts-wine
  xvfb x11-utils xdotool imagemagick
  wixl zip unzip dpkg-dev lintian help2man
  gnuplot-nox clang clang-format
)

ampwright_install_packages() {
  local missing=()
  local p
  for p in "${AMPWRIGHT_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  if ! $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/ampwright-apt.log 2>&1; then
    $sudo apt-get update -qq >>/tmp/ampwright-apt.log 2>&1
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >>/tmp/ampwright-apt.log 2>&1 || {
      echo "package installation failed; see /tmp/ampwright-apt.log" >&2
      return 1
    }
  fi
}

#!/usr/bin/env bash
# The packages as a user gets them: scripts/package builds them into
# build/dist/; the .deb unpacked into a scratch root runs its programs; the
# MSI is installed under Wine into a fresh prefix, where the installed
# program finds the simulated tester, a newer version installs over it and
# uninstalling removes what it wrote; the portable zip runs from a folder
# whose name has a space and letters beyond ASCII. Screenshots and the
# before/after listings go to build/packaging/. Prints one line per check
# and ends with "packages: N passed, M failed".
set -u
AMPWRIGHT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$AMPWRIGHT_ROOT" || exit 1
source scripts/lib/package.sh
source tests/e2e/checks.sh

out="$AMPWRIGHT_ROOT/build/packaging"
dist="$AMPWRIGHT_ROOT/build/dist"
ampwright_driver_exe="$AMPWRIGHT_ROOT/build/windows/e2e-driver.exe"
port=COM7
abort() { echo "FAIL $1"; echo "packages: $passed passed, $((failed + 1)) failed"; exit 1; }
rm -rf "$out"
mkdir -p "$out"

check "scripts/package builds the packages" quietly scripts/package
version=$(ampwright_version)
msi="$dist/Ampwright-$version-x64.msi"
zip="$dist/Ampwright-$version-x64-portable.zip"
deb="$dist/ampwright-cli_${version}_amd64.deb"
for f in "$msi" "$zip" "$deb" "$ampwright_driver_exe"; do [ -s "$f" ] || abort "missing $f"; done

cleanup() {
  ampwright_stop_sim
  [ -n "${WINEPREFIX:-}" ] && { wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1; }
  rm -rf "$out/msi-prefix"
  ampwright_stop_display
}
trap cleanup EXIT

# --- The .deb: its programs from a scratch root, against each other.
root="$out/deb-root"
dpkg-deb -x "$deb" "$root"
cli="$root/usr/bin/ampwright-cli"
check "deb: ampwright-cli --version" [ "$("$cli" --version)" = "ampwright-cli $version" ]
check "deb: ampwright-sim --version" [ "$("$root/usr/bin/ampwright-sim" --version)" = "ampwright-sim $version" ]
check "deb: the README names the dialout group" grep -q dialout "$root/usr/share/doc/ampwright-cli/README"
check "deb: depends on the C and C++ libraries" \
  matches "$(dpkg-deb -f "$deb" Depends)" "*libc6 (>=*libstdc++6 (>=*"
tty="$out/tester-tty"
# The simulator keeps serving after its input ends.
echo "plug pd65" | "$root/usr/bin/ampwright-sim" --link "$tty" --device-id VQDEB00000001 >"$out/deb-sim.log" 2>&1 &
deb_sim=$!
for _ in $(seq 1 50); do [ -e "$tty" ] && break; sleep 0.1; done
"$cli" info --port "$tty" >"$out/deb-info.txt" 2>&1
kill "$deb_sim"
wait "$deb_sim" 2>/dev/null
check "deb: ampwright-cli info reads the simulated tester" grep -q VQDEB00000001 "$out/deb-info.txt"
lintian --tag-display-limit 0 "$deb" >"$out/lintian.txt" 2>&1
check "deb: lintian finds no errors" eval '! grep -q "^E:" "$out/lintian.txt"'

# --- The MSI under Wine, in a prefix of its own made for this run.
rm -rf "$out/msi-prefix"
ampwright_wine_prefix "$out/msi-prefix" || abort "wine prefix"
ampwright_ensure_display || abort "display"
wineserver -p 60 >/dev/null 2>&1
winpath() { echo "Z:${1//\//\\}"; }
installed="$WINEPREFIX/drive_c/Program Files/Ampwright"
user_folder="$WINEPREFIX/drive_c/users/$(id -un)"
# Windows puts a per-machine product's menu entries in the common Start menu;
# Wine's installer puts them in the user's.
menus=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ampwright"
  "$user_folder/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Ampwright")
in_menu() { [ -s "${menus[0]}/$1" ] || [ -s "${menus[1]}/$1" ]; }
# The prefix links Documents to the home folder: give it one of its own.
rm -f "$user_folder/Documents"
documents="$user_folder/Documents/Quarnel/Voltiq"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The keys of the uninstall entries named Ampwright, one a line.
arp_entries() {
  wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { key = $0 } /DisplayName.*Ampwright/ { print key }'
}
arp_value() {  # entry key, value name
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { print $3 }'
}
# What the product left on the machine: its files, menu entries and keys.
footprint() {
  find "$installed" "${menus[@]}" 2>/dev/null | sed "s|$WINEPREFIX/||"
  arp_entries
  wine reg query 'HKLM\Software\Quarnel' /s 2>/dev/null | tr -d '\r' | grep '^[ H]'
}
msiexec() { wine msiexec "$@" >>"$out/msiexec.log" 2>&1; }

# Help's browser: records the address it is asked to open. HTML files open
# in it, as on a machine with a browser (the prefix has no association).
browser="$out/browser.sh"
printf '#!/bin/sh\necho "$1" >>"%s"\n' "$out/browser.log" >"$browser"
chmod +x "$browser"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /t REG_SZ /d "$browser" /f >/dev/null 2>&1
wine reg add 'HKCR\.html' /ve /t REG_SZ /d htmlfile /f >/dev/null 2>&1
# The file that the browser was asked to show: its file URL decoded.
opened_file() {
  local url
  url=$(tail -n 1 "$out/browser.log" 2>/dev/null)
  [ -n "$url" ] && printf '%b' "$(sed 's|^file://||; s|%|\\x|g' <<<"$url")"
}
guide_opened() {  # program folder
  local file
  file=$(opened_file)
  [ "$(dirname "$file")" -ef "$(winepath -u "$1" 2>/dev/null)" ] && cmp -s "$file" docs/user-guide.html
}

ampwright_start_sim "$port" "$out/sim.in" "$out/sim.log" --device-id VQPKG00000001 || abort "simulator"
ampwright_register_tester "$port"
# run_app LABEL FOLDER: starts the program in FOLDER, checks that it connects
# and shows readings, takes a screenshot, opens Help and closes it again.
run_app() {
  local label=$1 folder=$2
  : >"$out/browser.log"
  wine "$folder\\Ampwright.exe" >>"$out/app.log" 2>&1 &
  check "$label: the window opens" driver wait-window 20000
  check "$label: the tester is found" quietly driver wait-text "$IDC_DEVICE_ID" VQPKG00000001 30000
  check "$label: readings are shown" quietly driver wait-text "$IDC_SINK_VBUS" "5.00 V" 15000
  import -window root "$out/$label.png" 2>/dev/null
  driver click "$IDC_HELP" >/dev/null
  check "$label: Help opens the guide beside the program" eventually 15 guide_opened "$folder"
  cp "$out/browser.log" "$out/$label-help.log"
  check "$label: the program exits" quietly driver close-all 15000
}

check "msi: msiexec /i /qn succeeds" msiexec /i "$(winpath "$msi")" /qn
footprint >"$out/installed.txt"
for f in Ampwright.exe ampwright-cli.exe user-guide.html copyright.txt; do
  check "msi: installs $f" [ -s "$installed/$f" ]
done
check "msi: the installed ampwright-cli.exe runs" \
  [ "$(wine "C:\\Program Files\\Ampwright\\ampwright-cli.exe" --version 2>/dev/null | tr -d '\r')" = "ampwright-cli $version" ]
check "msi: Start menu entry for Ampwright" in_menu Ampwright.lnk
check "msi: Start menu entry for the guide" in_menu "Ampwright User Guide.lnk"
entry=$(arp_entries)
check "msi: one Apps & features entry" [ "$(wc -l <<<"$entry")" = 1 ]
check "msi: the entry's version" [ "$(arp_value "$entry" DisplayVersion)" = "$version" ]
check "msi: the entry's publisher" [ "$(arp_value "$entry" Publisher)" = Quarnel ]
# Windows computes the entry's EstimatedSize; Wine's installer leaves it 0, so
# the size the package states (ARPSIZE, in KB) is checked.
check "msi: the entry's size" [ "$(arp_value "$entry" Size)" -gt 100 ]
run_app installed "C:\\Program Files\\Ampwright"

# A newer version over it: one entry, the newer one.
IFS=. read -r major minor build <<<"$version"
next="$major.$minor.$((build + 1))"
ampwright_package_msi "$next" "$out" >/dev/null || abort "the next version's MSI"
check "msi: the next version installs over it" msiexec /i "$(winpath "$out/Ampwright-$next-x64.msi")" /qn
entry=$(arp_entries)
check "msi: still one Apps & features entry" [ "$(wc -l <<<"$entry")" = 1 ]
check "msi: the entry is the next version's" [ "$(arp_value "$entry" DisplayVersion)" = "$next" ]
check "msi: the program is still installed" [ -s "$installed/Ampwright.exe" ]

# Uninstalling removes what it wrote and leaves the user's files.
mkdir -p "$documents"
echo "kept" >"$documents/AmpwrightLog.txt"
check "msi: msiexec /x /qn succeeds" msiexec /x "$(winpath "$out/Ampwright-$next-x64.msi")" /qn
footprint >"$out/uninstalled.txt"
check "msi: nothing is left behind" [ ! -s "$out/uninstalled.txt" ]
check "msi: the user's saved files stay" [ -s "$documents/AmpwrightLog.txt" ]

# --- The portable zip, unpacked where a path has a space and non-ASCII letters.
portable="$WINEPREFIX/drive_c/Prüfstand Zürich"
mkdir -p "$portable"
unzip -q "$zip" -d "$portable"
run_app portable "C:\\Prüfstand Zürich\\Ampwright-$version"

echo "packages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

# Makes the packages from built trees: the Windows installer (wixl), the
# portable zip and the CLI's .deb. Sourced by the scripts; expects
# AMPWRIGHT_ROOT. Each function takes the version and the output folder (a
# full path) and gathers the files in a folder there that it removes when done.

# The project publishes no contact address yet; a release sets the real one.
AMPWRIGHT_DEB_MAINTAINER=${AMPWRIGHT_DEB_MAINTAINER:-Quarnel <ampwright@quarnel.invalid>}

# Copies what the Windows packages hold into a folder: the programs without
# their debugging information, the guide beside them (Help opens it there),
# the copyright notice.
ampwright_stage_windows() {  # folder
  local stage=$1 tree="$AMPWRIGHT_ROOT/build/windows"
  rm -rf "$stage"
  mkdir -p "$stage"
  x86_64-w64-mingw32-strip -o "$stage/Ampwright.exe" "$tree/Ampwright.exe" &&
    x86_64-w64-mingw32-strip -o "$stage/ampwright-cli.exe" "$tree/ampwright-cli.exe" &&
    cp "$AMPWRIGHT_ROOT/docs/user-guide.html" "$stage/" &&
    cp "$AMPWRIGHT_ROOT/packaging/copyright" "$stage/copyright.txt"
}

ampwright_package_msi() {  # version, output folder
  local version=$1 out=$2 stage="$2/stage-msi-$1"
  ampwright_stage_windows "$stage" || return 1
  local size_kb
  size_kb=$(du -sk "$stage" | cut -f1)
  cp "$AMPWRIGHT_ROOT/src/ui/ampwright.ico" "$AMPWRIGHT_ROOT/packaging/ampwright.wxs" "$stage/"
  mkdir -p "$out"
  wixl -a x64 -D Version="$version" -D SizeKb="$size_kb" -o "$out/Ampwright-$version-x64.msi" "$stage/ampwright.wxs" &&
    rm -rf "$stage"
}

ampwright_package_zip() {  # version, output folder
  local version=$1 out=$2 stage="$2/stage-zip"
  local zip="$out/Ampwright-$version-x64-portable.zip"
  rm -rf "$stage" "$zip"
  ampwright_stage_windows "$stage/Ampwright-$version" || return 1
  (cd "$stage" && zip -q -r -X "$zip" "Ampwright-$version") && rm -rf "$stage"
}

# The programs' --help as man pages; ampwright-cli's page also holds every
# command's --help.
ampwright_man_pages() {  # package root, scratch folder
  local root=$1 scratch=$2 command
  local man="$root/usr/share/man/man1" cli="$root/usr/bin/ampwright-cli"
  mkdir -p "$man"
  {
    echo "[COMMANDS]"
    for command in $("$cli" --help | awk '/^Commands:/ { on = 1; next } on && NF { print $1 }'); do
      printf '.SS %s\n.nf\n' "$command"
      "$cli" help "$command" | sed 's/\\/\\e/g; s/^[.'"'"']/\\\&&/'
      printf '.fi\n'
    done
  } >"$scratch/cli-commands.h2m"
  help2man -N -n "drive a Quarnel Voltiq USB PD tester from scripts" -i "$scratch/cli-commands.h2m" \
    -o "$man/ampwright-cli.1" "$cli" &&
    help2man -N -n "a simulated Quarnel Voltiq tester on a pseudo-terminal" -o "$man/ampwright-sim.1" \
      "$root/usr/bin/ampwright-sim" &&
    gzip -9n "$man/"*.1 && chmod 0644 "$man/"*
}

ampwright_package_deb() {  # version, output folder
  local version=$1 out=$2 stage="$2/stage-deb"
  local root="$stage/root" tree="$AMPWRIGHT_ROOT/build/native"
  local doc="$root/usr/share/doc/ampwright-cli"
  rm -rf "$stage"
  mkdir -p "$root/usr/bin" "$doc" "$root/DEBIAN" "$stage/shlibs/debian"
  strip --strip-unneeded -o "$root/usr/bin/ampwright-cli" "$tree/ampwright-cli" &&
    strip --strip-unneeded -o "$root/usr/bin/ampwright-sim" "$tree/ampwright-sim" || return 1
  chmod 0755 "$root/usr/bin/"*
  ampwright_man_pages "$root" "$stage" || return 1
  install -m 0644 "$AMPWRIGHT_ROOT/packaging/README.cli" "$doc/README"
  install -m 0644 "$AMPWRIGHT_ROOT/packaging/copyright" "$doc/copyright"
  printf 'ampwright-cli (%s) stable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
    "$version" "$version" "$AMPWRIGHT_DEB_MAINTAINER" "$(date -R -d @"${SOURCE_DATE_EPOCH:-$(date +%s)}")" |
    gzip -9n >"$doc/changelog.gz"
  chmod 0644 "$doc/changelog.gz"
  # The libraries the programs link, as dpkg-shlibdeps names their packages
  # (it wants a debian/control to stand in).
  printf 'Source: ampwright\n\nPackage: ampwright-cli\nArchitecture: amd64\n' >"$stage/shlibs/debian/control"
  local depends
  depends=$(cd "$stage/shlibs" && dpkg-shlibdeps -O "$root/usr/bin/ampwright-cli" "$root/usr/bin/ampwright-sim" |
    sed -n 's/^shlibs:Depends=//p')
  [ -n "$depends" ] || { echo "dpkg-shlibdeps named no dependencies" >&2; return 1; }
  cat >"$root/DEBIAN/control" <<CONTROL
Package: ampwright-cli
Version: $version
Architecture: amd64
Maintainer: $AMPWRIGHT_DEB_MAINTAINER
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Section: electronics
Priority: optional
Description: command line for the Quarnel Voltiq USB Power Delivery tester
 ampwright-cli reads a Voltiq tester's readings, requests charger profiles,
 sets its electronic load, captures PD messages and runs the
 voltage-versus-current test from scripts; it also decodes PD messages
 written as hex. ampwright-sim simulates the tester on a pseudo-terminal.
CONTROL
  mkdir -p "$out"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$out/ampwright-cli_${version}_amd64.deb" >/dev/null &&
    rm -rf "$stage"
}

# The program's control ids as shell variables, read from src/ui/*_ids.h each
# time this is sourced, so that the scripts name a control as the program
# does: "#define IDC_SAVE_LOG 1018" gives IDC_SAVE_LOG=1018. The same number
# names different controls in different windows: take the name from the
# header of the window the command works on. Sourced by the scripts that
# drive the windows; expects AMPWRIGHT_ROOT.

# The standard button ids of Windows, which the dialogs' OK and Cancel
# buttons and the message boxes' buttons carry; no header of ours defines them.
IDOK=1
IDCANCEL=2

ampwright_define_control_ids() {
  local header directive name value rest status=0
  local -A defined_in
  for header in "$AMPWRIGHT_ROOT"/src/ui/*_ids.h; do
    [ -f "$header" ] || { echo "no control id headers in $AMPWRIGHT_ROOT/src/ui" >&2; return 1; }
    while read -r directive name value rest || [ -n "$directive" ]; do
      [ "$directive" = "#define" ] || continue
      value=${value%$'\r'}
      # A define the scripts cannot use as a number is reported here rather
      # than left unset or turned into a wrong id (a leading 0 is octal in C).
      if ! [[ "$name" =~ ^[A-Z][A-Z0-9_]*$ && "$value" =~ ^(0|[1-9][0-9]*)$ ]]; then
        echo "$header: not a plain decimal id: #define $name $value${rest:+ $rest}" >&2
        status=1
        continue
      fi
      if [ -n "${defined_in[$name]:-}" ] && [ "${!name}" != "$value" ]; then
        echo "$header: $name is $value here but ${!name} in ${defined_in[$name]}" >&2
        status=1
        continue
      fi
      defined_in[$name]=$header
      printf -v "$name" '%s' "$value"
    done <"$header"
  done
  return "$status"
}
ampwright_define_control_ids

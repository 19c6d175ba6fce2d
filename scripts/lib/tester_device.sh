# Makes a simulated tester visible to the program under Wine: a device entry
# in the prefix's registry that SetupAPI lists as a COM port whose USB bus
# reports "Quarnel Voltiq". Sourced by the scripts after wine.sh; expects the
# Wine environment (ampwright_wine_env).

ampwright_tester_key() {  # COM port
  echo "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6015+AMPW$1A\\0000"
}

ampwright_register_tester() {  # COM port, e.g. COM7
  local port=$1 key reg description
  key=$(ampwright_tester_key "$port")
  # The description as REG_EXPAND-free UTF-16LE bytes, NUL-terminated.
  description=$(printf 'Quarnel Voltiq' | iconv -f ASCII -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',,' |
    sed 's/^,//; s/,$//')
  reg="$TMPDIR/ampwright-tester-$port.reg"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[%s]\r\n' "$key"
    printf '"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"\r\n'
    printf '"FriendlyName"="USB Serial Port (%s)"\r\n\r\n' "$port"
    printf '[%s\\Properties\\{540b947e-8b40-45bc-a8a2-6a0b894cbda2}\\0004]\r\n' "$key"
    printf '@=hex(ffff0012):%s,00,00\r\n' "$description"
  } >"$reg"
  wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
}

ampwright_unregister_tester() {  # COM port
  local key
  key=$(ampwright_tester_key "$1")
  wine reg delete "${key%\\0000}" /f >/dev/null 2>&1
}

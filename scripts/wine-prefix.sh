#!/usr/bin/env bash
# Makes a Wine prefix ready for the Windows programs and their tests: created once, without a
# display, as root or not; Arial, the window's font, is drawn with Liberation Sans.
#   bash scripts/wine-prefix.sh PREFIX
set -euo pipefail
prefix="$(realpath -m "${1:?usage: wine-prefix.sh PREFIX}")"
wine="${TERVALO_WINE:-/usr/lib/wine/wine64}"
wineserver="$(dirname "$wine")/wineserver"
export WINEPREFIX="$prefix" WINEDEBUG=-all

if [ -f "$prefix/.tervalo-ready" ]; then
    exit 0
fi
mkdir -p "$prefix"
# No dialog asks to install Mono or Gecko: neither is needed.
WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init >/dev/null 2>&1 || true
"$wineserver" -w
reg="$(mktemp --suffix=.reg)"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"Arial"="Liberation Sans"\r\n' >"$reg"
"$wine" regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1
"$wineserver" -w
rm -f "$reg"
if [ ! -f "$prefix/system.reg" ]; then
    echo "Wine could not make its prefix in $prefix" >&2
    exit 1
fi
touch "$prefix/.tervalo-ready"

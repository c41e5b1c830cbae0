#!/usr/bin/env bash
# vorn-send.exe under Wine uploads a HEX file to the simulated unit on a Linux
# pseudo-terminal: the unit must see 600 bit/s 8N1 and receive exactly the stream the
# Linux vorn-stream makes of the same file and names.
#   vorn-send-to-unit.sh RUNNER VORN_SEND_EXE VORN_UNIT VORN_STREAM HEX LINK MODEM_SHIM
# LINK is the stable path COM3 is mapped to; it is pointed at the unit's port. Wine runs
# with MODEM_SHIM preloaded, as the pseudo-terminal has no modem lines to read.
set -euo pipefail
runner=$1 send=$2 unit=$3 stream=$4 hex=$5 link=$6 shim=$7
work=$(mktemp -d)
trap 'kill "$unit_pid" 2>/dev/null || true; rm -rf "$work" "$link"' EXIT
names=(Intro Ballada "Zażółć gęślą" Finał)
windows_path() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }  # Wine's Z: is the Linux root

coproc UNIT { exec "$unit" -o "$work/received"; }
unit_pid=$UNIT_PID
read -r -t 10 first <&"${UNIT[0]}"
ln -sfn "${first#COM1_DEVICE=}" "$link"

LC_ALL=C.UTF-8 LD_PRELOAD=$shim "$runner" "$send" --port COM3 "$(windows_path "$hex")" "${names[@]}" \
  > "$work/send.out" 2>&1 || { cat "$work/send.out"; echo "vorn-send.exe failed" >&2; exit 1; }

# The unit reports the line, then the upload once the port is closed.
report=""
while read -r -t 30 line <&"${UNIT[0]}"; do
  report+="$line"$'\n'
  [[ $line == upload*ended* ]] && break
done
printf '%s' "$report"
grep -q '^line: 600 bit/s, 8 data bits, no parity, 1 stop bit$' <<<"$report" || { echo "line not 600 8N1" >&2; exit 1; }
"$stream" "$hex" "${names[@]}" > "$work/expected"
cmp "$work/expected" "$work/received"
echo "byte-exact: $(stat -c %s "$work/received") bytes"

#!/usr/bin/env bash
# vorn-send.exe under Wine uploads a HEX file to the simulated unit on a Linux
# pseudo-terminal: the unit must see 600 bit/s 8N1 and receive exactly the stream the
# Linux vorn-stream makes of the same file and names. Then a Ctrl-C (SIGINT, which Wine
# passes on as the console's event) stops a long upload: the unit has exactly the bytes
# vorn-send.exe reports, and they are the stream's start.
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

send() { LC_ALL=C.UTF-8 LD_PRELOAD=$shim "$runner" "$send" --port COM3 "$@"; }
# The unit reports the line, then the upload once the port is closed.
unit_report() {
  report=""
  while read -r -t 30 line <&"${UNIT[0]}"; do
    report+="$line"$'\n'
    [[ $line == upload*ended* ]] && break
  done
  printf '%s' "$report"
}

send "$(windows_path "$hex")" "${names[@]}" > "$work/send.out" 2>&1 ||
  { cat "$work/send.out"; echo "vorn-send.exe failed" >&2; exit 1; }
unit_report
grep -q '^line: 600 bit/s, 8 data bits, no parity, 1 stop bit$' <<<"$report" || { echo "line not 600 8N1" >&2; exit 1; }
"$stream" "$hex" "${names[@]}" > "$work/expected"
cmp "$work/expected" "$work/received"
echo "byte-exact: $(stat -c %s "$work/received") bytes"

for i in $(seq 0 59999); do printf ':04000000%08X00\n' "$i"; done > "$work/long.hex"
send "$(windows_path "$work/long.hex")" > "$work/stop.out" 2>&1 &
sender=$!
# Interrupted once the upload is under way: the progress line has a count on it.
for _ in $(seq 1000); do
  grep -q '[1-9][0-9]* */' "$work/stop.out" 2>/dev/null && break
  sleep 0.02
done
pkill -INT -f "^$send --port COM3" || { cat "$work/stop.out"; echo "no vorn-send.exe to stop" >&2; exit 1; }
status=0
wait "$sender" || status=$?
unit_report >/dev/null
stopped=$(tr '\r' '\n' < "$work/stop.out" | grep 'upload stopped by SIGINT after' || true)
count=$(sed -n 's/.* after \([0-9]*\) of [0-9]* bytes were sent$/\1/p' <<<"$stopped")
echo "$stopped (exit status $status)"
[ "$status" = 130 ] && [ -n "$count" ] && [ "$count" -gt 0 ] || { echo "not stopped as asked" >&2; exit 1; }
"$stream" "$work/long.hex" > "$work/whole"
head -c "$count" "$work/whole" > "$work/expected"
cmp "$work/expected" "$work/received"
echo "stopped byte-exact: $count bytes"

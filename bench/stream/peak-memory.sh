#!/usr/bin/env bash
# Peak memory of vorn-stream on a HEX file made of one 1 GiB line (target: under 16 MiB),
# and of vorn-send reading the longest stream it takes on, a day of line time, and one
# word more, which it refuses (target: under 32 MiB).
#   bench/stream/peak-memory.sh [BUILD_DIR]      BUILD_DIR defaults to build/
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
tool=$build/bin/vorn-stream
limit_kb=16384

[ -x "$tool" ] || { echo "peak-memory: $tool is not built" >&2; exit 2; }
[ -x /usr/bin/time ] || "$root/scripts/setup"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A record whose line never ends: after its first characters the file is a 1 GiB
# hole, which reads as NUL bytes, ordinary characters of the same line.
hex=$work/one-line.hex
printf ':10000000DEADBEEF' > "$hex"
truncate -s 1G "$hex"

/usr/bin/time -v "$tool" "$hex" Prog > "$work/stream.bin" 2> "$work/time.txt" || {
  cat "$work/time.txt" >&2
  exit 1
}
peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt")
stream_bytes=$(stat -c %s "$work/stream.bin")
word=$(head -c 4 "$work/stream.bin" | od -An -tx1 | tr -d ' \n')

echo "vorn-stream, one 1 GiB line: peak RSS ${peak_kb} kB (limit ${limit_kb} kB), ${elapsed} wall clock"
if [ "$stream_bytes" -ne 132 ] || [ "$word" != deadbeef ]; then
  echo "peak-memory: wrong stream: ${stream_bytes} bytes, first word ${word}" >&2
  exit 1
fi
[ "$peak_kb" -lt "$limit_kb" ] || exit 1

# 1,295,968 words and the names are 5,184,000 bytes: a day at 60 bytes a second.
send=$build/bin/vorn-send
send_limit_kb=32768
for words in 1295968 1295969; do
  awk -v n="$words" 'BEGIN { for (i = 0; i < n; i++) printf ":04000000%08X00\n", i }' > "$work/day.hex"
  status=0
  /usr/bin/time -v "$send" --port "$work/no-such-port" "$work/day.hex" > /dev/null 2> "$work/time.txt" || status=$?
  peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
  said=$(grep '^vorn-send: ' "$work/time.txt" | head -1)
  echo "vorn-send, $words words: peak RSS ${peak_kb} kB (limit ${send_limit_kb} kB): $said"
  [ "$status" = 1 ] && [ "$peak_kb" -lt "$send_limit_kb" ] || exit 1
done

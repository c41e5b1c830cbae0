#!/usr/bin/env bash
# Peak memory of vorn-stream on a HEX file made of one 1 GiB line (target: under 16 MiB).
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
[ "$peak_kb" -lt "$limit_kb" ]

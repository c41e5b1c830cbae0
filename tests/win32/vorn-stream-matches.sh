#!/usr/bin/env bash
# vorn-stream.exe under Wine makes byte for byte what the Linux vorn-stream makes of
# every example (and of LF, CR and Ctrl-Z bytes, which no example has) and of names
# with Polish letters, quotes and backslashes, on standard output (no CR before LF)
# and with -o (a new file, then one replaced), and from standard input; -o never
# replaces the input.
#   vorn-stream-matches.sh RUNNER VORN_STREAM_EXE LINUX_VORN_STREAM EXAMPLES_DIR
set -euo pipefail
runner=$1 exe=$2 linux=$3 examples=$4
[ -x "$linux" ] || { echo "no Linux vorn-stream at $linux" >&2; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # relative names: no drive mapping in the way
export LC_ALL=C.UTF-8  # Wine decodes the command line in the locale's encoding
names=("Zażółć gęślą jaźń" "ŁÓDŹ ąęś" "" "say \"hi\" \\o/" "日本 €5 ±°" "x y\\" " " "Ćma")
printf ':040000000A0D1A0A\r\n' > "$work/line-ends.hex"
failed=0
for hex in "$examples"/*.hex "$work/line-ends.hex"; do
  cp "$hex" in.hex
  "$linux" in.hex "${names[@]}" > expected
  "$runner" "$exe" in.hex "${names[@]}" > stdout
  "$runner" "$exe" -o out.bin in.hex "${names[@]}"
  "$runner" "$exe" - "${names[@]}" < in.hex > stdin
  for got in stdout out.bin stdin; do
    cmp expected "$got" || { echo "${hex##*/}: $got differs" >&2; failed=1; }
  done
done
# The input is never the output, whichever name the output has.
cp "$examples/demo.hex" in.hex
ln -f in.hex hard.hex
for out in in.hex hard.hex; do
  if "$runner" "$exe" -o "$out" in.hex 2> refused; then
    echo "-o $out replaced the input" >&2; failed=1
  fi
  grep -q "cannot write $out: it is the HEX file being read" refused || { cat refused >&2; failed=1; }
done
cmp "$examples/demo.hex" in.hex || failed=1
exit $failed

#!/usr/bin/env bash
# The transmitter's window under Wine on a virtual X display, used as a person would:
# keys typed and buttons clicked through the X server, what it shows read back by the
# window probe. One case a run:
#   window-test.sh CASE RUNNER TRANSMITTER PROBE UNIT STREAM HEX TTY_DIR X_DIR LAYOUT SHOT_DIR MODEM_SHIM
# CASE: layout | upload | missing-file | missing-port | open-dialog | gauge
# COM3 is the simulated unit (COM3_DEVICE names TTY_DIR/window-unit); COM1 maps to nothing.
# The window runs with MODEM_SHIM preloaded, as the pseudo-terminal has no modem lines.
set -euo pipefail
case=$1 runner=$2 transmitter=$3 probe_exe=$4 unit=$5 stream=$6 hex=$7 tty_dir=$8 x_dir=$9
layout=${10} shot_dir=${11} shim=${12}
export WINE_RUN_DISPLAY
WINE_RUN_DISPLAY=$(cat "$x_dir/display")
link=$tty_dir/window-unit
work=$(mktemp -d)
window_pid="" unit_pid=""
cleanup() {
  # A window left behind by a failure would take the next test's keys: end the
  # prefix's every process (the window tests run one at a time in a prefix of their own).
  [ -z "$window_pid" ] || "$runner" --stop
  [ -z "$unit_pid" ] || kill "$unit_pid" 2>/dev/null || true
  rm -rf "$work" "$link"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
title="Vorn..."
windows_path() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }  # Wine's Z: is the Linux root

probe() { "$runner" "$probe_exe" "$@"; }
xdo() { DISPLAY=$WINE_RUN_DISPLAY xdotool "$@"; }

start_window() {
  LD_PRELOAD=$shim "$runner" "$transmitter" "$@" >"$work/window.out" 2>&1 &
  window_pid=$!
  probe wait "$title" 60 || { cat "$work/window.out"; fail "no window captioned $title"; }
}
# The close box's message: the program ends with 0 and nothing on standard error.
end_window() {
  probe close "$title"
  local status=0
  wait "$window_pid" || status=$?
  window_pid=""
  [ "$status" = 0 ] || { cat "$work/window.out"; fail "the window ended with $status"; }
}
# A click in the middle of a control, as the pointer makes it.
click() {
  local x y w h
  read -r x y w h < <(probe screen "$title" "$1")
  xdo mousemove --sync $((x + w / 2)) $((y + h / 2)) click 1
}
# Typed into a control as a person would. Keys sent before Wine has taken the focus
# are lost: a text that did not arrive is cleared and typed again.
type_into() {
  local got attempt
  for attempt in 1 2 3; do
    xdo search --sync --onlyvisible --name "^${title//./\\.}\$" windowfocus --sync
    click "$1"
    xdo key --delay 30 End shift+Home BackSpace
    xdo type --delay 60 "$2"
    got=$(probe text "$title" "$1")
    [ "$got" = "$2" ] && return 0
    echo "control $1 holds '$got' after typing '$2' (attempt $attempt)" >&2
  done
  fail "typing into control $1 failed"
}
start_unit() {
  coproc UNIT { exec "$unit" -o "$work/received"; }
  unit_pid=$UNIT_PID
  local first
  read -r -t 10 first <&"${UNIT[0]}"
  mkdir -p "$tty_dir"
  ln -sfn "${first#COM1_DEVICE=}" "$link"
}
wait_upload() {
  local line
  while read -r -t 60 line <&"${UNIT[0]}"; do
    [[ $line == upload*ended* ]] && return 0
  done
  local box
  box=$(probe owned "$title" 1) && box+=": $(probe text "$box" 65535)"
  fail "the unit saw no upload end; the window shows ${box:-no box}"
}
# A box captioned $1 over the window: its text, then OK closes it and the window goes on.
check_box() {
  local caption=$1 expected=$2 shown
  [ "$(probe owned "$title" 30)" = "$caption" ] || fail "no box captioned '$caption'"
  shown=$(probe text "$caption" 65535)  # a message box's text is its control 65535
  [ "$shown" = "$expected" ] || fail "box '$caption' says '$shown', not '$expected'"
  probe click "$caption" 1  # its only button, OK (IDOK)
  probe gone "$caption" 10 || fail "OK left box '$caption' open"
  grep -q ' Button .* enabled limit=0 Wyślij$' <(probe controls "$title") || fail "Send not enabled after the box"
}
send_and_compare() {  # names...
  click 1001
  wait_upload
  "$stream" "$hex" "$@" > "$work/expected"
  cmp "$work/expected" "$work/received" || fail "the unit received other bytes than vorn-stream makes"
  echo "byte-exact: $(stat -c %s "$work/received") bytes"
}
png() { bmptopnm "$1" 2>/dev/null | pnmtopng -compression 9 > "$2"; }

case $case in
  layout)
    start_window --port COM3
    [ "$(probe frame "$title")" = "client 335 352 fixed" ] || fail "frame: $(probe frame "$title")"
    probe controls "$title" > "$work/controls"
    grep -v '^#' "$layout" | while read -r id class left top width height text; do
      read -r _ got_class got_left got_top got_width got_height _ limit got_text \
        < <(grep "^$id " "$work/controls") || fail "no control $id"
      [ "$got_class $got_left $got_top $got_height" = "$class $left $top $height" ] &&
        [ "$got_text" = "$text" ] || fail "control $id: $(grep "^$id " "$work/controls")"
      if [ "$class" = Static ]; then
        [ "$got_width" -le "$width" ] || fail "label '$text' is $got_width px wide, its box $width"
      else
        [ "$got_width" = "$width" ] || fail "control $id is $got_width px wide, not $width"
      fi
      if [ "$class" = Edit ] && [ "$id" != 1002 ]; then [ "$limit" = limit=16 ] || fail "name box $id: $limit"; fi
    done
    [ "$(wc -l < "$work/controls")" = "$(grep -vc '^#' "$layout")" ] || fail "other controls than the form's"
    end_window
    ;;
  upload)
    start_unit
    start_window --port COM3
    type_into 1002 "$(windows_path "$hex")"
    type_into 1003 "Intro"
    type_into 1004 "Zażółć gęślą"
    type_into 1006 "Finał"
    probe snapshot "$title" "$work/window.bmp"  # the README shows it
    png "$work/window.bmp" "$shot_dir/window-windows.png"
    send_and_compare Intro "Zażółć gęślą" "" Finał
    grep -q ' Button .* enabled limit=0 Wyślij$' <(probe controls "$title") || fail "Send not enabled after the upload"
    # A second upload of the same window reaches the unit the same.
    send_and_compare Intro "Zażółć gęślą" "" Finał
    end_window
    ;;
  missing-file)
    start_window --port COM3
    type_into 1002 "$(windows_path "$work/none.hex")"
    click 1001
    check_box "Błąd" "Plik o podanej nazwie nie istnieje!"
    end_window
    ;;
  missing-port)
    start_window --port COM40  # no such port: Wine would take /dev/ttyS39
    type_into 1002 "$(windows_path "$hex")"
    click 1001
    # The component's own text; it ends in ")", so no full stop is added.
    check_box "Vorn transmitter" "Nie można otworzyć portu (kod błędu systemu: 2)"
    end_window
    ;;
  open-dialog)
    start_window --port COM3
    type_into 1002 "typed by hand"
    probe click "$title" 1000
    dialog=$(probe owned "$title" 30) || fail "no Open dialog"
    # The dialog's name box has the focus and "*.hex" in it.
    xdo search --name "^$dialog\$" windowfocus --sync
    xdo key --delay 20 ctrl+a
    xdo type --delay 15 "$(windows_path "$hex")"
    xdo key Return
    probe gone "$dialog" 20 || fail "the Open dialog stayed"
    [ "$(probe text "$title" 1002)" = "$(windows_path "$hex")" ] || fail "File_name: $(probe text "$title" 1002)"
    end_window
    ;;
  gauge)
    # Long enough an upload for many screen frames while the gauge moves, and for a
    # click on the disabled Send in the middle of it.
    for i in $(seq 0 19999); do printf ':04%04X0000%08X00\n' $((i % 65536)) "$i"; done > "$work/long.hex"
    hex=$work/long.hex
    start_unit
    start_window --port COM3
    type_into 1002 "$(windows_path "$hex")"
    mkfifo "$work/gauge"
    probe gauge "$title" 1100 1001 120 > "$work/gauge" &
    watcher=$!
    exec 7<"$work/gauge"
    read -r -t 60 ready <&7 && [ "$ready" = ready ] || fail "the probe did not start watching"
    click 1001
    read -r -t 60 running <&7 && [ "$running" = running ] || fail "the click on Send started no upload"
    # Wine holds this click until the upload ends and Send is enabled again: it must
    # start no second upload. (Not through the probe: a Wine program started now
    # would wait for the upload's end.)
    xdo click 1
    wait_upload
    "$stream" "$hex" > "$work/expected"
    cmp "$work/expected" "$work/received" || fail "the unit received other bytes than vorn-stream makes"
    wait "$watcher" || { cat <&7; fail "the gauge on screen was not one of the core's pictures"; }
    cat <&7
    end_window
    kill -INT "$unit_pid"
    ! grep -q '^upload 2' <(cat <&"${UNIT[0]}") || fail "the click held during the upload started another"
    ;;
  *) fail "no case $case" ;;
esac
echo "PASS: $case"

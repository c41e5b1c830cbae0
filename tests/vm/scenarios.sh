#!/bin/sh
# One scenario in the guest: runs vorn-send on the port it names and reports what the
# host cannot see on its side of the line (exit status, messages, settings), as "@@" lines.
#   scenarios NAME [PORT] [SIGNAL]
name=$1 port=$2 signal=$3
names="Zażółć gęślą|Program 2|Bas -h|--|||Ósmy|Koniec"
rm -f /tmp/pid /tmp/err
send() {  # HEX file, then vorn-send's other options; the test's eight names follow.
  # In the foreground, with its process id in /tmp/pid: a background command would
  # start with SIGINT ignored.
  hex=$1; shift
  IFS='|'
  set -- "$@" "/data/$hex" $names
  unset IFS
  sh -c 'echo $$ >/tmp/pid; exec vorn-send "$@" </dev/null 2>/tmp/err' sh "$@"
}
started() {  # waits (at most ten seconds) until vorn-send reports its first byte sent, then a bit
  i=0
  while ! grep -q ' 1/' /tmp/err 2>/dev/null && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
  sleep "$1"
}
report() {  # exit status; vorn-send's messages, one "@@ err" line each
  echo "@@ status=$1"
  tr '\r' '\n' </tmp/err | sed -n 's/^./@@ err &/p'
}

case $name in
  upload)
    stty -F "$port" 9600 cs7 parenb -parodd cstopb opost onlcr ixon
    send ramp.hex --port "$port"
    status=$?
    report $status
    echo "@@ settings $(stty -F "$port" -a | tr '\n' ' ')"
    ;;
  close | open-fails)
    send short-records.hex --port "$port"
    report $?
    ;;
  signal)
    (started 0.2; kill "-$signal" "$(cat /tmp/pid)") &
    send long.hex --port "$port"
    report $?
    ;;
  second)
    (started 0.1
     vorn-send --port "$port" /data/ramp.hex </dev/null 2>/tmp/second
     echo "@@ second_status=$?"
     sed -n 's/^./@@ second_err &/p' /tmp/second
     kill -TERM "$(cat /tmp/pid)") &
    send long.hex --port "$port"
    status=$?
    wait
    report $status
    ;;
  list)
    vorn-send --list >/tmp/list 2>/tmp/err
    report $?
    sed -n 's/^./@@ list &/p' /tmp/list
    ;;
  unplug)
    (started 1; echo "@@unplug") &
    send long.hex --port "$port"
    report $?
    ;;
esac
wait

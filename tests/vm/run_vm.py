#!/usr/bin/env python3
"""Boots the virtual machine that scripts/vm/prepare made and runs vorn-send in it against the
kernel's own serial drivers: ttyS1 (8250 on QEMU's 16550A) and ttyUSB0 (ftdi_sio on QEMU's
usb-serial). This side records what each port sends and compares it with vorn-stream's bytes.

    run_vm.py BUILD        (BUILD/bin holds vorn-stream, BUILD/vm the kernel and initramfs)
"""
import os
import re
import select
import socket
import subprocess
import sys
import tempfile
import threading
import time

# The names the guest's scenarios give vorn-send, in the same order (tests/vm/scenarios.sh).
NAMES = ["Zażółć gęślą", "Program 2", "Bas -h", "--", "", "", "Ósmy", "Koniec"]
SIGNALS = {"INT": 2, "TERM": 15, "HUP": 1}
BOOT_SECONDS = 120
SCENARIO_SECONDS = 60
QUIET_SECONDS = 0.5


class Recorder:
    """Everything one port of the guest sends, read from its QEMU socket."""

    def __init__(self, listener):
        self.listener = listener
        self.data = bytearray()
        self.last = time.monotonic()
        self.changed = threading.Condition()

    def start(self):
        self.listener.settimeout(30)
        connection, _ = self.listener.accept()
        threading.Thread(target=self._read, args=(connection,), daemon=True).start()

    def _read(self, connection):
        while True:
            chunk = connection.recv(4096)
            if not chunk:
                return
            with self.changed:
                self.data += chunk
                self.last = time.monotonic()
                self.changed.notify_all()

    def reset(self):
        with self.changed:
            self.data = bytearray()

    def settled(self):
        """The bytes once the line has been quiet for a moment (QEMU does not pace them)."""
        with self.changed:
            while True:
                left = self.last + QUIET_SECONDS - time.monotonic()
                if left <= 0:
                    return bytes(self.data)
                self.changed.wait(left)


class Guest:
    def __init__(self, build, folder):
        self.folder = folder
        listeners = {}
        for name in ("ttyS1", "ttyUSB0", "monitor"):
            listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            listener.bind(os.path.join(folder, name))
            listener.listen(1)
            listeners[name] = listener
        vm = os.path.join(build, "vm")
        command = [
            "qemu-system-x86_64", "-accel", "tcg", "-m", "256M", "-nodefaults", "-no-reboot",
            "-display", "none",
            "-kernel", os.path.join(vm, "vmlinuz"), "-initrd", os.path.join(vm, "initramfs.cpio.gz"),
            # The guest's console is its third UART, so that the port under test is the
            # second and the first has no UART behind it at all.
            "-append", "console=ttyS2 quiet loglevel=3 panic=-1",
            "-chardev", "stdio,id=console,signal=off",
            "-chardev", "socket,id=ttyS1,path=" + os.path.join(folder, "ttyS1"),
            "-chardev", "socket,id=ttyUSB0,path=" + os.path.join(folder, "ttyUSB0"),
            "-chardev", "socket,id=monitor,path=" + os.path.join(folder, "monitor"),
            "-device", "isa-serial,index=1,chardev=ttyS1",
            "-device", "isa-serial,index=2,chardev=console",
            "-device", "piix3-usb-uhci,id=uhci",
            "-device", "usb-serial,id=adapter,bus=uhci.0,chardev=ttyUSB0",
            "-mon", "chardev=monitor,mode=readline",
        ]
        self.qemu = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.ports = {"/dev/ttyS1": Recorder(listeners["ttyS1"]),
                      "/dev/ttyUSB0": Recorder(listeners["ttyUSB0"])}
        for recorder in self.ports.values():
            recorder.start()
        listeners["monitor"].settimeout(30)
        self.monitor, _ = listeners["monitor"].accept()
        threading.Thread(target=self._drain_monitor, daemon=True).start()
        self.pending = b""

    def _drain_monitor(self):
        while self.monitor.recv(4096):
            pass

    def line(self, deadline):
        """The next line of the guest's console, or None at the deadline."""
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.qemu.stdout], [], [], left)[0]:
                return None
            chunk = os.read(self.qemu.stdout.fileno(), 4096)
            if not chunk:
                return None
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode("utf-8", "replace").strip("\r")

    def wait_for(self, wanted, seconds):
        deadline = time.monotonic() + seconds
        while True:
            line = self.line(deadline)
            if line is None or line == wanted:
                return line is not None

    def run(self, *args):
        """Runs one scenario; returns its "@@ key=value" and "@@ key text" lines as a dict of lists."""
        for recorder in self.ports.values():
            recorder.reset()
        self.qemu.stdin.write(("run " + " ".join(args) + "\n").encode())
        self.qemu.stdin.flush()
        report = {}
        deadline = time.monotonic() + SCENARIO_SECONDS
        while True:
            line = self.line(deadline)
            if line is None:
                raise TimeoutError("no answer from the guest to: " + " ".join(args))
            if line == "@@done":
                return report
            if line == "@@unplug":
                self.monitor.sendall(b"device_del adapter\n")
                continue
            found = re.match(r"@@ (\w+)[= ](.*)$", line)
            if found:
                report.setdefault(found.group(1), []).append(found.group(2))

    def stop(self):
        try:
            self.qemu.stdin.write(b"off\n")
            self.qemu.stdin.flush()
            self.qemu.wait(timeout=20)
        except (subprocess.TimeoutExpired, BrokenPipeError):
            self.qemu.kill()  # this QEMU only, by its own process
            self.qemu.wait()


def stream(build, hex_file):
    return subprocess.run([os.path.join(build, "bin", "vorn-stream"), hex_file] + NAMES,
                          check=True, capture_output=True).stdout


def first(report, key):
    return report.get(key, [""])[0]


def sent_count(messages):
    """The byte count of vorn-send's last message: "after N of M bytes were sent"."""
    found = re.findall(r"after (\d+) of (\d+) bytes were sent", " ".join(messages))
    return int(found[-1][0]) if found else None


def check_prefix(problems, received, expected, messages):
    count = sent_count(messages)
    if count is None:
        problems.append("no byte count in: " + " | ".join(messages))
    elif count == 0 or count >= len(expected):
        problems.append("stopped after %d of %d bytes, not mid-upload" % (count, len(expected)))
    elif received != expected[:count]:
        problems.append("host holds %d bytes, not the first %d sent" % (len(received), count))
    return count


def main():
    build = os.path.realpath(sys.argv[1])
    examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")
    streams = {name: stream(build, os.path.join(examples, name))
               for name in ("ramp.hex", "short-records.hex")}
    streams["long.hex"] = stream(build, os.path.join(build, "vm", "long.hex"))
    results = []

    def judge(title, problems):
        results.append(not problems)
        print("%s  %s%s" % ("PASS" if not problems else "FAIL", title,
                            "" if not problems else ": " + "; ".join(problems)), flush=True)

    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="vorn-vm-") as folder:
        guest = Guest(build, folder)
        try:
            if not guest.wait_for("@@ready", BOOT_SECONDS):
                print("FAIL  the guest booted (no answer within %d s)" % BOOT_SECONDS)
                return 1
            print("vm: guest ready after %.1f s" % (time.monotonic() - started), flush=True)
            for port, recorder in guest.ports.items():
                scenarios(guest, port, recorder, streams, judge)
            list_and_open_failures(guest, judge)
            unplug(guest, guest.ports["/dev/ttyUSB0"], streams["long.hex"], judge)
        finally:
            guest.stop()
    print("vm: timings not judged: QEMU 7.2's 16550A and usb-serial do not pace the line")
    print("vm: %d of %d scenarios passed in %.0f s" % (sum(results), len(results),
                                                        time.monotonic() - started))
    return 0 if all(results) else 1


def scenarios(guest, port, recorder, streams, judge):
    report = guest.run("upload", port)
    received = recorder.settled()
    problems = []
    if first(report, "status") != "0":
        problems.append("exit status %s: %s" % (first(report, "status"), " | ".join(report.get("err", []))))
    if received != streams["ramp.hex"]:
        problems.append("host got %d bytes, not the %d of vorn-stream" % (len(received), len(streams["ramp.hex"])))
    settings = first(report, "settings").split()
    for flag in ("cs8", "-parenb", "-cstopb", "-opost", "-ixon", "-icanon", "-echo"):
        if flag not in settings:
            problems.append("port not left with " + flag)
    if "speed 600 baud" not in first(report, "settings"):
        problems.append("port not left at 600 bit/s")
    judge("%s: an upload from 9600 7E2 onlcr ixon is byte-exact and leaves 600 8N1 raw" % port, problems)

    report = guest.run("close", port)
    received = recorder.settled()
    expected = streams["short-records.hex"]
    problems = [] if first(report, "status") == "0" else ["exit status " + first(report, "status")]
    if received != expected:
        problems.append("host got %d of %d bytes, name table %s" % (
            len(received), len(expected), "complete" if received.endswith(expected[-128:]) else "cut"))
    judge("%s: the close right after the last write leaves the name table complete" % port, problems)

    for signal, number in SIGNALS.items():
        report = guest.run("signal", port, signal)
        received = recorder.settled()
        problems = []
        if first(report, "status") != str(128 + number):
            problems.append("exit status %s, not %d" % (first(report, "status"), 128 + number))
        messages = report.get("err", [])
        if not any(("stopped by SIG" + signal) in m for m in messages):
            problems.append("no report of SIG" + signal)
        count = check_prefix(problems, received, streams["long.hex"], messages)
        judge("%s: SIG%s mid-upload exits %d, reporting %s bytes, the host holding exactly those"
              % (port, signal, 128 + number, count), problems)

    report = guest.run("second", port)
    recorder.settled()
    problems = []
    if first(report, "second_status") in ("", "0"):
        problems.append("second opener exited %s" % first(report, "second_status"))
    if not any("(win error code: 16)" in m and port in m for m in report.get("second_err", [])):
        problems.append("second opener said: " + " | ".join(report.get("second_err", [])))
    if first(report, "status") != "143":
        problems.append("first upload ended with %s, not 143 from SIGTERM" % first(report, "status"))
    judge("%s: a second opener is refused with 16 while an upload holds the port" % port, problems)


def list_and_open_failures(guest, judge):
    report = guest.run("list")
    lines = report.get("list", [])
    problems = [] if first(report, "status") == "0" else ["exit status " + first(report, "status")]
    if not any(line.split()[0] == "/dev/ttyS1" for line in lines):
        problems.append("no /dev/ttyS1")
    if not any(line.split()[0] == "/dev/ttyUSB0" and "USB 0403:6001" in line for line in lines):
        problems.append("no /dev/ttyUSB0 with USB 0403:6001")
    if any(line.split()[0] == "/dev/ttyS2" for line in lines):
        problems.append("the console /dev/ttyS2 is listed")
    judge("--list shows /dev/ttyS1 and /dev/ttyUSB0 (USB 0403:6001), never the console: "
          + " / ".join(lines), problems)

    for port, code, words in (("/dev/ttyS3", 5, "Input/output error"),
                              ("/dev/ttyUSB7", 2, "No such file or directory")):
        report = guest.run("open-fails", port)
        messages = " | ".join(m for m in report.get("err", []) if port in m) or " | ".join(report.get("err", []))
        problems = [] if first(report, "status") not in ("", "0") else ["exit status 0"]
        if not (port in messages and "(win error code: %d)" % code in messages and words in messages):
            problems.append("said: " + messages)
        judge("%s (%s) is refused with %d: %s" % (
            port, "no UART behind it" if code == 5 else "no such node", code, messages), problems)


def unplug(guest, recorder, expected, judge):
    """Until the guest's USB core notices the adapter is gone, each transfer fails and the
    driver's queue reads empty after it: vorn-send can give only an upper bound, and says so."""
    report = guest.run("unplug", "/dev/ttyUSB0")
    received = recorder.settled()
    messages = report.get("err", [])
    problems = [] if first(report, "status") not in ("", "0") else ["exit status 0"]
    failure = [m for m in messages if "/dev/ttyUSB0" in m]
    if not failure:
        problems.append("no error naming /dev/ttyUSB0 in: " + " | ".join(messages))
    found = re.findall(r"after at most (\d+) of (\d+) bytes were sent: the device went away", " ".join(messages))
    count = int(found[-1][0]) if found else None
    if count is None:
        problems.append("no upper bound of the bytes sent in: " + " | ".join(messages))
    elif count == 0 or count >= len(expected):
        problems.append("stopped after %d of %d bytes, not mid-upload" % (count, len(expected)))
    elif len(received) == 0 or len(received) > count or received != expected[:len(received)]:
        problems.append("host holds %d bytes, not a start of the stream of at most %d" % (len(received), count))
    judge("/dev/ttyUSB0 pulled out mid-upload: exit %s, at most %s bytes reported, the host holding %d of them: %s"
          % (first(report, "status"), count, len(received), failure[-1] if failure else ""), problems)


if __name__ == "__main__":
    sys.exit(main())

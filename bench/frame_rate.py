#!/usr/bin/env python3
"""Frames a wall-clock second of the running system in QEMU, in the ways
people run it: as tools/boot.sh does (real-time TCG), with a VGA that times
its retrace like a real display, instruction-counted as the system tests run
it, on a 486's clock with the console closed and open (the backquote key
and a command typed through QMP, so that it shows text), and real time
beside a second busy QEMU. The count is the kernel's own frames-shown
counter, read through QMP at the start and the end of each window, so a
slow reader loses no frame; beside it, the frames a second of the guest's
own clock (its timer's ticks, read the same way), which is what the
kernel's `fps` shows: under instruction counting a host too slow to keep
the guest's clock in step with the wall's lowers the first, not the second.

    bench/frame_rate.py [--build build] [--seconds 20] [--only NAME]
"""
import argparse
import json
import os
import socket
import subprocess
import tempfile
import time

# Each: the clock tools/qemu_args.sh sets, arguments of its own, and the
# keys pressed before counting (QEMU's key names).
CONSOLE_OPEN = ["grave_accent", "h", "e", "l", "p", "ret"]
CONFIGS = {
    "boot.sh (real time)": ("realtime", [], []),
    "retrace=precise": ("realtime", ["-vga", "std,retrace=precise"], []),
    "icount shift=5": ("icount", [], []),
    "icount shift=5,align=on": ("icount-aligned", [], []),
    "icount shift=8,align=on (a 486)": ("486", [], []),
    "486, console open": ("486", [], CONSOLE_OPEN),
    "real time, busy neighbour": ("realtime", [], []),
}
REMINDER = b"Also 8MiB of allocable memory after the stack!"


def symbol(build, name):
    out = subprocess.run(["nm", "-C", os.path.join(build, "kern", "kern")],
                         capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        if line.endswith(" " + name):
            return int(line.split()[0], 16)
    raise SystemExit("no symbol " + name)


def machine(build, clock):
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "qemu_args.sh")
    return subprocess.run([script, os.path.join(build, "disk.img"), clock],
                          capture_output=True, text=True, check=True).stdout.splitlines()


def qemu(build, config, workdir, tag):
    clock, extra, _ = config
    serial = os.path.join(workdir, tag + ".serial")
    monitor = os.path.join(workdir, tag + ".qmp")
    args = (["qemu-system-i386", "-display", "none"] + machine(build, clock) +
            ["-serial", "file:" + serial, "-qmp", "unix:%s,server=on,wait=off" % monitor] + extra)
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return proc, serial, monitor


def connect(path):
    for _ in range(200):
        try:
            s = socket.socket(socket.AF_UNIX)
            s.connect(path)
            f = s.makefile("rw")
            f.readline()   # the greeting
            qmp(f, "qmp_capabilities")
            return f
        except OSError:
            time.sleep(0.05)
    raise SystemExit("no QMP socket at " + path)


def qmp(f, name, arguments=None):
    request = {"execute": name}
    if arguments:
        request["arguments"] = arguments
    f.write(json.dumps(request) + "\n")
    f.flush()
    while True:
        line = f.readline()
        if not line:
            raise SystemExit("QMP closed")
        reply = json.loads(line)
        if "return" in reply or "error" in reply:
            return reply.get("return")


def read_word(f, address):
    reply = qmp(f, "human-monitor-command", {"command-line": "x/1wx 0x%x" % address})
    return int(reply.split(":")[1].split()[0], 16)


# The timer's tick rate (1193182 Hz / 20): the guest's own clock, by which
# the kernel's `fps` counts.
TICKS_PER_SECOND = 1193182 / 20


def measure(build, name, config, seconds, counter, ticks):
    with tempfile.TemporaryDirectory() as workdir:
        neighbour = None
        if "busy" in name:
            neighbour = qemu(build, ("realtime", [], []), workdir, "neighbour")[0]
        proc, serial, monitor = qemu(build, config, workdir, "machine")
        try:
            sock = connect(monitor)
            deadline = time.time() + 60
            while REMINDER not in open(serial, "rb").read():
                if time.time() > deadline:
                    raise SystemExit(name + ": the kernel never started")
                time.sleep(0.1)
            for key in config[2]:
                qmp(sock, "send-key", {"keys": [{"type": "qcode", "data": key}]})
                time.sleep(0.2)
            time.sleep(1)   # the console is down after ten frames
            t0, f0, g0 = time.time(), read_word(sock, counter), read_word(sock, ticks)
            time.sleep(seconds)
            t1, f1, g1 = time.time(), read_word(sock, counter), read_word(sock, ticks)
            guest = ((g1 - g0) & 0xFFFFFFFF) / TICKS_PER_SECOND
            print("%-28s %6.1f frames a second (%d frames in %.1f s); %6.1f a second of the guest's clock"
                  % (name, (f1 - f0) / (t1 - t0), f1 - f0, t1 - t0, (f1 - f0) / guest if guest else 0),
                  flush=True)
            qmp(sock, "quit")
        finally:
            for p in (proc, neighbour):
                if p:
                    p.kill()
                    p.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--only")
    args = parser.parse_args()
    counter = symbol(args.build, "kern::framesShown")
    ticks = symbol(args.build, "kern::currentTimer")
    for name, config in CONFIGS.items():
        if not args.only or args.only in name:
            measure(args.build, name, config, args.seconds, counter, ticks)


if __name__ == "__main__":
    main()

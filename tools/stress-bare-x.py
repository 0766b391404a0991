#!/usr/bin/env python3
"""Starts the program again and again on a bare X server under CPU load.

usage: tools/stress-bare-x.py [--signals] PROGRAM [STARTS] [BUSY_LOOPS]

The X server is a fresh Xvfb without -noreset and with no other client, as in a
kiosk session or `xinit nihonshib`: whenever its last client leaves, it resets.
BUSY_LOOPS processes (2 unless given) spin meanwhile. Each start counts as good
when the exam window shows within 30 s; the program is then ended with SIGTERM,
which leaves the server without clients again, so the next start meets a reset.
A start that ends by itself before its window shows is an abort: its status and
what it printed are listed. Prints the counts; exits 1 when any start aborted.

With --signals each start is instead stopped, polled for 0 to 0.7 s, with SIGTERM,
SIGINT or SIGHUP in turn, wherever in its start it then is: it counts as good when it
ends by that signal, or had ended by itself with status 0 or with a message of its own
(status 1, "nihonshib: "), and leaves no folder in TMPDIR.
"""

import os
import random
import select
import signal
import subprocess
import sys
import tempfile
import time

EXAM_TITLE = "問題 （日本史B）"


def start_bare_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], 15)
        chunk = os.read(read_end, 16) if ready else b""
        if not chunk:
            raise SystemExit("Xvfb did not start")
        number += chunk
    os.close(read_end)
    return xvfb, ":" + number.decode().strip()


def window_shown(display):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", EXAM_TITLE],
                            env=dict(os.environ, DISPLAY=display), capture_output=True, timeout=15)
    return result.returncode == 0 and result.stdout.strip() != b""


def one_start(program, display, scratch):
    env = {k: v for k, v in os.environ.items() if k not in ("XAUTHORITY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
    env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", TMPDIR=scratch, HOME=scratch)
    process = subprocess.Popen([program], cwd=scratch, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               start_new_session=True)
    deadline = time.monotonic() + 30
    try:
        while time.monotonic() < deadline:
            if process.poll() is not None:
                return process.returncode, process.stdout.read().decode(errors="replace")
            if window_shown(display):
                return None, ""
            time.sleep(0.1)
        return "no window after 30 s", ""
    finally:
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        process.stdout.close()


STOPPING = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)


def one_stopped_start(program, display, scratch, number):
    """None when the start ended as it should; else its status and what it printed."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("XAUTHORITY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR")}
    env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", TMPDIR=scratch, HOME=scratch)
    stop_with = STOPPING[number % len(STOPPING)]
    process = subprocess.Popen([program], cwd=scratch, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    deadline = time.monotonic() + random.uniform(0, 0.7)
    while process.poll() is None and time.monotonic() < deadline:
        time.sleep(0.01)
    if process.poll() is None:
        process.send_signal(stop_with)
    try:
        output = process.communicate(timeout=30)[0].decode(errors="replace")
    except subprocess.TimeoutExpired:
        process.kill()
        output = process.communicate()[0].decode(errors="replace")
        return "still running 30 s after %s" % stop_with.name, output
    left = [name for name in os.listdir(scratch) if name.startswith("nihonshib-runtime-")]
    for name in left:
        subprocess.run(["rm", "-rf", os.path.join(scratch, name)])
    status = process.returncode
    good = status in (0, -stop_with) or (status == 1 and output.startswith("nihonshib: "))
    if good and not left:
        return None, ""
    return "%s (stopped with %s)%s" % (status, stop_with.name, ", left " + " ".join(left) if left else ""), output


def main():
    arguments = sys.argv[1:]
    signals = "--signals" in arguments
    if signals:
        arguments.remove("--signals")
    if len(arguments) < 1 or len(arguments) > 3:
        sys.exit(__doc__)
    program = os.path.abspath(arguments[0])
    starts = int(arguments[1]) if len(arguments) > 1 else 200
    loops = int(arguments[2]) if len(arguments) > 2 else 2
    busy = [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(loops)]
    xvfb = None
    failures = []
    began = time.monotonic()
    try:
        xvfb, display = start_bare_xvfb()
        with tempfile.TemporaryDirectory(prefix="nihonshib-stress-") as scratch:
            for number in range(1, starts + 1):
                if signals:
                    status, output = one_stopped_start(program, display, scratch, number)
                else:
                    status, output = one_start(program, display, scratch)
                if status is not None:
                    failures.append((number, status, output.strip()))
                    print("start %d: %s %s" % (number, status, output.strip()[-300:]), flush=True)
                if xvfb.poll() is not None:
                    raise SystemExit("Xvfb ended (status %d) after start %d" % (xvfb.returncode, number))
    finally:
        for process in busy:
            process.kill()
            process.wait()
        if xvfb is not None and xvfb.poll() is None:
            os.killpg(xvfb.pid, signal.SIGTERM)
            xvfb.wait(timeout=10)
    print("%d starts%s on a bare X server under %d busy loops in %.0f s: %d aborted"
          % (starts, " stopped by signals" if signals else "", loops, time.monotonic() - began, len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

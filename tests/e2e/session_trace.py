#!/usr/bin/env python3
"""The program leaves no trace in the session it runs in.

Runs the built program twice under its own Xvfb, each time for a fresh user (new
HOME and XDG folders, a private TMPDIR) and quits it by ゲーム › 終了:
- with no session bus (DBUS_SESSION_BUS_ADDRESS unset): no file appears in HOME, the
  XDG folders, TMPDIR, /tmp or the program folder, and no process the program started
  outlives it (every process it starts inherits a marker in its environment);
- with a session bus of the test's own: the program still connects to it.

Usage: session_trace.py <program> <output folder>
"""

import os
import signal
import re
import shutil
import subprocess
import sys
import tempfile
import time
import uuid

from student_run import (EXAM_TITLE, Failure, Screen, differences, log, snapshot, start_xvfb, stop,
                         wait_for)

MARKER = "NIHONSHIB_SESSION_TRACE"
# Names the libraries the program uses give what they leave in /tmp (other tests
# running beside this one make folders of their own there, under other names).
TMP_TRACES = re.compile(r"^(dbus-|runtime-|pulse-)")


def marked_processes(marker):
    """Processes whose environment carries the marker: pid -> command line."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if ("%s=%s" % (MARKER, marker)).encode() not in f.read().split(b"\0"):
                    continue
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                found[int(pid)] = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
        except OSError:
            continue
    return found


def fresh_user(scratch):
    folders = {name: os.path.join(scratch, name) for name in ("home", "cache", "runtime", "tmp", "work")}
    for folder in folders.values():
        os.makedirs(folder, mode=0o700)
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", HOME=folders["home"], TMPDIR=folders["tmp"],
               XDG_CONFIG_HOME=os.path.join(folders["home"], ".config"),
               XDG_DATA_HOME=os.path.join(folders["home"], ".local", "share"),
               XDG_STATE_HOME=os.path.join(folders["home"], ".local", "state"),
               XDG_CACHE_HOME=folders["cache"], XDG_RUNTIME_DIR=folders["runtime"])
    for name in ("XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    return folders, env


def run_and_quit(program, env, display, out_dir, name, while_running=None):
    """Starts the program, waits for its window, optionally probes it, quits by the menu."""
    screen = Screen(display, out_dir)
    env = dict(env, DISPLAY=display)
    with open(os.path.join(out_dir, name + ".log"), "w") as program_log:
        process = subprocess.Popen([program], cwd=os.path.join(os.path.dirname(env["HOME"]), "work"), env=env, stdout=program_log,
                                   stderr=program_log, start_new_session=True)
    try:
        def exam_window():
            if process.poll() is not None:
                raise Failure("the program ended at start-up with status %d" % process.returncode)
            windows = screen.windows(EXAM_TITLE)
            return windows[0] if windows else None

        exam = wait_for("the exam window", exam_window, 30)
        time.sleep(1)  # let start-up finish whatever it does after the window shows
        if while_running:
            while_running(process)
        screen.focus(exam)
        screen.keys("alt+g")
        time.sleep(0.5)
        screen.keys("q")
        status = process.wait(timeout=10)
        if status != 0:
            raise Failure("%s: the program ended with status %d" % (name, status))
    finally:
        stop(process)


def without_bus(program, display, out_dir, scratch):
    folders, env = fresh_user(os.path.join(scratch, "no-bus"))
    marker = uuid.uuid4().hex
    env[MARKER] = marker
    program_dir = os.path.dirname(os.path.realpath(program))
    before = {name: snapshot(folder) for name, folder in folders.items() if name != "work"}
    program_before = snapshot(program_dir)
    tmp_before = set(os.listdir("/tmp"))
    log("before: processes %s; files %s" % (marked_processes(marker), sorted(sum(map(list, before.values()), []))))

    seen = {}
    run_and_quit(program, env, display, out_dir, "no-bus",
                 while_running=lambda process: seen.update(marked_processes(marker)))
    time.sleep(0.5)
    left = marked_processes(marker)
    log("while running: %s" % seen)
    log("after: processes %s" % left)

    written = ["program folder, " + d for d in differences(program_before, snapshot(program_dir))]
    for name, folder in folders.items():
        if name != "work":
            written += ["%s, %s" % (name, d) for d in differences(before[name], snapshot(folder))]
    written += ["/tmp, new: " + n for n in sorted(set(os.listdir("/tmp")) - tmp_before) if TMP_TRACES.match(n)]
    log("after: files written %s" % written)
    if left:
        for pid in left:
            try:
                os.kill(pid, signal.SIGTERM)
            except OSError:
                pass
        raise Failure("processes outlive the program: %s" % left)
    if written:
        raise Failure("the program wrote files:\n  " + "\n  ".join(written))


def with_bus(program, display, out_dir, scratch):
    folders, env = fresh_user(os.path.join(scratch, "bus"))
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                               "--address=unix:path=" + os.path.join(folders["runtime"], "bus")],
                              env=env, stdout=subprocess.PIPE, text=True, start_new_session=True)
    try:
        env["DBUS_SESSION_BUS_ADDRESS"] = daemon.stdout.readline().strip()

        def program_on_bus(process):
            def connected():
                names = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                        "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"],
                                       env=env, capture_output=True, text=True, timeout=10).stdout
                for unique in re.findall(r'string "(:[0-9.]+)"', names):
                    reply = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                            "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                                            "string:" + unique], env=env, capture_output=True, text=True,
                                           timeout=10).stdout
                    if re.search(r"uint32 %d\b" % process.pid, reply):
                        return unique
                return None
            log("the program is on the session bus as %s" % wait_for("the program on the bus", connected, 10))

        run_and_quit(program, env, display, out_dir, "bus", while_running=program_on_bus)
    finally:
        stop(daemon)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    program = os.path.abspath(sys.argv[1])
    out_dir = os.path.abspath(sys.argv[2])
    os.makedirs(out_dir, exist_ok=True)
    scratch = tempfile.mkdtemp(prefix="nihonshib-trace-")
    xvfb = None
    try:
        with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
            xvfb, display = start_xvfb(xvfb_log)
        without_bus(program, display, out_dir, scratch)
        with_bus(program, display, out_dir, scratch)
    except Failure as failure:
        log("FAIL: %s" % failure)
        sys.exit(1)
    finally:
        stop(xvfb)
        shutil.rmtree(scratch, ignore_errors=True)
    log("PASS")


if __name__ == "__main__":
    main()

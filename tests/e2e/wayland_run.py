#!/usr/bin/env python3
"""The exam window natively on Wayland, against the same window on X.

Takes the exam window as drawn on its own Xvfb, then starts the program on a
headless Weston (its desktop shell, drawn with pixman) with Qt's Wayland plugin,
finds the window in Weston's screenshots (weston-screenshooter, which Weston
allows under --debug) and compares the two pixel by pixel: the menu bar and
everything below it must be the same. Qt draws the title bar itself on Wayland,
so that part is not compared. A terminating signal then ends the program as it
ends it anywhere (Weston offers no way to type into it): promptly, without a word
on standard error, and with nothing left in XDG_RUNTIME_DIR.

Usage: wayland_run.py <program> <output folder>
"""

import glob
import os
import subprocess
import time

from xsession import (CLIENT_HEIGHT, CLIENT_WIDTH, SCREEN_HEIGHT, SCREEN_WIDTH, Failure, Screen, ExamWindow, log, program_environment,
                      run_main, start_xvfb, stop, wait_for, wait_for_exam_window)

SOCKET = "wayland-nihonshib"
# Pixels that may differ: none are expected, the same Qt draws both.
DIFFERING_PIXELS_ALLOWED = 0


def x11_window(program, out_dir, scratch):
    """The exam window's pixels as drawn on X: (rows of raw RGB, width, height)."""
    with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
        xvfb, display = start_xvfb(xvfb_log)
    process = None
    try:
        screen = Screen(display, out_dir)
        env = program_environment(display, HOME=scratch, XDG_RUNTIME_DIR=scratch)
        process = subprocess.Popen([program], cwd=scratch, env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        window = wait_for_exam_window(screen, process)
        x, y, width, height = screen.geometry(window)
        exam = ExamWindow(window, x, y, height - CLIENT_HEIGHT)
        screen.shoot_until("x11", "the exam window drawn", exam.is_drawn, 15)
        # The booklet lays out its rest while idle after the first frame, which moves
        # its scroll bar: the window is taken once two shots agree.
        shots = []

        def settled(shot):
            shots.append([shot.raw[((y + row) * SCREEN_WIDTH + x) * 3:((y + row) * SCREEN_WIDTH + x + width) * 3]
                          for row in range(height)])
            return len(shots) > 1 and shots[-1] == shots[-2]

        screen.shoot_until("x11", "the exam window settled", settled, 15)
    finally:
        stop(process)
        stop(xvfb)
    return shots[-1], width, height


def find_window(raw, rows):
    """Where the window's rows stand in a screenshot's raw RGB, or None. Found by
    its first row of many colours (the menu's captions), which a plain row is not."""
    anchor = next(i for i, row in enumerate(rows) if len({row[j:j + 3] for j in range(0, len(row), 3)}) > 20)
    start = raw.find(rows[anchor])
    while start >= 0:
        top, left = divmod(start // 3, SCREEN_WIDTH)
        if start % 3 == 0 and left + CLIENT_WIDTH <= SCREEN_WIDTH and top >= anchor:
            return left, top - anchor
        start = raw.find(rows[anchor], start + 1)
    return None


def differing_pixels(raw, rows, left, top):
    count = 0
    for row, expected in enumerate(rows):
        offset = ((top + row) * SCREEN_WIDTH + left) * 3
        actual = raw[offset:offset + len(expected)]
        count += sum(1 for i in range(0, len(expected), 3) if actual[i:i + 3] != expected[i:i + 3])
    return count


def weston_shot(runtime, env, out_dir):
    for old in glob.glob(os.path.join(runtime, "wayland-screenshot-*.png")):
        os.remove(old)
    subprocess.run(["weston-screenshooter"], cwd=runtime, env=env, capture_output=True, timeout=15, check=True)
    path = glob.glob(os.path.join(runtime, "wayland-screenshot-*.png"))[0]
    kept = os.path.join(out_dir, "wayland.png")
    os.replace(path, kept)
    raw = subprocess.run(["convert", kept, "-depth", "8", "rgb:-"], capture_output=True, check=True,
                         timeout=15).stdout
    if len(raw) != SCREEN_WIDTH * SCREEN_HEIGHT * 3:
        raise Failure("Weston's screenshot is not %dx%d" % (SCREEN_WIDTH, SCREEN_HEIGHT))
    return raw


def wayland_run(program, out_dir, scratch):
    rows, width, height = x11_window(program, out_dir, scratch)
    log("the exam window on X: %dx%d with its menu bar" % (width, height))
    runtime = os.path.join(scratch, "runtime")
    os.makedirs(runtime, mode=0o700)
    env = {name: value for name, value in os.environ.items() if name not in ("DISPLAY", "XAUTHORITY")}
    env.update(XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=SOCKET)
    with open(os.path.join(out_dir, "weston.log"), "w") as weston_log:
        weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--use-pixman", "--socket=" + SOCKET,
                                   "--width=%d" % SCREEN_WIDTH, "--height=%d" % SCREEN_HEIGHT, "--idle-time=0",
                                   "--debug"], env=env, stdout=weston_log, stderr=weston_log, start_new_session=True)
    process = None
    try:
        wait_for("Weston's socket", lambda: os.path.exists(os.path.join(runtime, SOCKET)), 15)
        program_env = dict(env, QT_QPA_PLATFORM="wayland", HOME=scratch)
        with open(os.path.join(out_dir, "program.log"), "w+") as program_log:
            process = subprocess.Popen([program], cwd=scratch, env=program_env, stdout=program_log,
                                       stderr=program_log, start_new_session=True)

            seen = []

            def as_on_x():
                if process.poll() is not None:
                    raise Failure("the program ended on Wayland with status %d" % process.returncode)
                raw = weston_shot(runtime, env, out_dir)
                found = find_window(raw, rows)
                seen.append(found and (found, differing_pixels(raw, rows, *found)))
                return seen[-1] and seen[-1][1] <= DIFFERING_PIXELS_ALLOWED

            try:
                wait_for("the exam window on Weston, drawn as on X", as_on_x, 30)
            except Failure:
                raise Failure("the exam window on Weston: %s" % (
                    "%d pixels differ from X" % seen[-1][1] if seen and seen[-1] else "not found"))
            log("the exam window on Weston at %d,%d: as on X" % seen[-1][0])
            process.terminate()
            ended = time.monotonic()
            status = process.wait(timeout=5)
            log("ended %.2f s after the signal, status %d" % (time.monotonic() - ended, status))
            program_log.seek(0)
            said = program_log.read()
            leftovers = sorted(set(os.listdir(runtime)) - {SOCKET, SOCKET + ".lock"})
            if leftovers:
                raise Failure("the program left %s in XDG_RUNTIME_DIR" % leftovers)
        if said.strip():
            raise Failure("the program wrote on Wayland:\n" + said)
    finally:
        stop(process)
        stop(weston)


def main():
    run_main(__doc__, wayland_run, 90, "nihonshib-wayland-", missing=[
        tool for tool in ("weston", "weston-screenshooter") if not __import__("shutil").which(tool)])


if __name__ == "__main__":
    main()

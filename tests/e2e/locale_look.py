#!/usr/bin/env python3
"""The program looks the same in every locale, pixel for pixel.

Runs the built program under one Xvfb with LANG=C, en_US.UTF-8 and ja_JP.UTF-8 in
turn and takes the same four screenshots each time: the exam window, its ゲーム menu
open, the verdict window after 得　点 and 合格率, and the help window. Each must be
identical to its C counterpart. Screenshots land in the output folder.

Usage: locale_look.py <program> <output folder>
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

from student_run import (CLIENT_HEIGHT, PASS_RATE_BUTTON, SCORE_BUTTON, Failure, Screen, log, start_xvfb, stop,
                         wait_for)

LOCALES = ("C", "en_US.UTF-8", "ja_JP.UTF-8")


def settled(screen, name):
    """A screenshot once the screen has stopped changing."""
    last = [None]

    def same_as_before(shot):
        previous, last[0] = last[0], shot.raw
        return previous == shot.raw
    return screen.shoot_until(name, "the screen to settle", same_as_before)


def shots_in(locale, program, display, out_dir, scratch):
    out = os.path.join(out_dir, locale)
    os.makedirs(out, exist_ok=True)
    home = tempfile.mkdtemp(dir=scratch)
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", LANG=locale, HOME=home,
               XDG_RUNTIME_DIR=home, XDG_CACHE_HOME=os.path.join(home, "cache"))
    for name in ("LANGUAGE", "LC_ALL", "LC_CTYPE", "LC_MESSAGES", "FC_LANG", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS"):
        env.pop(name, None)
    screen = Screen(display, out)
    # The pointer stays where the last run left it; a button under it would be drawn hovered.
    screen.run("xdotool", "mousemove", "--sync", "1279", "1023")
    with open(os.path.join(out, "program.log"), "w") as program_log:
        process = subprocess.Popen([program], cwd=home, env=env, stdout=program_log, stderr=program_log,
                                   start_new_session=True)
    try:
        # Titles are looked up by class: under LANG=C the legacy window name the tools
        # read is not the Japanese title.
        exam = wait_for("the exam window", lambda: screen.windows(), 30)[0]
        x, y, _, height = screen.geometry(exam)
        menu_bar = height - CLIENT_HEIGHT

        def click(place):
            left, top, w, h = place
            screen.click(x + left + w // 2, y + menu_bar + top + h // 2)

        shots = [settled(screen, "exam")]
        screen.focus(exam)
        screen.keys("alt+g")
        shots.append(settled(screen, "game-menu"))
        screen.keys("Escape", "Escape")
        click(SCORE_BUTTON)
        click(PASS_RATE_BUTTON)
        wait_for("the verdict window", lambda: len(screen.windows()) == 2, 10)
        shots.append(settled(screen, "verdict"))
        screen.focus(exam)
        screen.keys("alt+h")
        time.sleep(0.3)
        screen.keys("a")
        wait_for("the help window", lambda: len(screen.windows()) == 3, 10)
        shots.append(settled(screen, "help"))
        return shots
    finally:
        stop(process)


def differing_pixels(a, b):
    return sum(1 for i in range(0, len(a.raw), 3) if a.raw[i:i + 3] != b.raw[i:i + 3])


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    program = os.path.abspath(sys.argv[1])
    out_dir = os.path.abspath(sys.argv[2])
    os.makedirs(out_dir, exist_ok=True)
    scratch = tempfile.mkdtemp(prefix="nihonshib-locales-")
    xvfb = None
    try:
        with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
            xvfb, display = start_xvfb(xvfb_log)
        shots = {locale: shots_in(locale, program, display, out_dir, scratch) for locale in LOCALES}
        failures = []
        for locale in LOCALES[1:]:
            for reference, shot in zip(shots["C"], shots[locale]):
                count = differing_pixels(reference, shot)
                log("%s against C, %s: %d pixels differ" % (locale, os.path.basename(shot.path), count))
                if count:
                    failures.append("%s differs from %s in %d pixels" % (shot.path, reference.path, count))
        if failures:
            raise Failure("\n  ".join(failures))
    except Failure as failure:
        log("FAIL: %s" % failure)
        sys.exit(1)
    finally:
        stop(xvfb)
        shutil.rmtree(scratch, ignore_errors=True)
    log("PASS; screenshots in " + out_dir)


if __name__ == "__main__":
    main()

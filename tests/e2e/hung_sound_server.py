#!/usr/bin/env python3
"""Time-up with a sound server that accepts the connection and never answers.

Runs the built program under its own Xvfb with PULSE_SERVER pointing at a stub: a
Unix socket that takes every connection and never says a word (autospawn off, so no
real server is started instead). libfaketime moves the program's clocks an hour on
after スタート, through its timestamp file. The window must show 0:00 at the tick
that follows, answer a click on 得　点 with the score, and end promptly on
ゲーム › 終了, while the program's connection to the sound server still hangs.

Usage: hung_sound_server.py <program> <output folder>
"""

import os
import socket
import subprocess
import threading
import time

from xsession import (run_main, CLIENT_HEIGHT, PINK, POINTS_LABEL, REMAINING_TIME_LABEL, SCORE_BUTTON,
                      SCORE_LABEL_LEFT, START_BUTTON, Failure, Screen, is_dark, log, start_xvfb,
                      stop, wait_for, program_environment, wait_for_exam_window)

FAKETIME_LIBRARY = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
# These catch a frozen window (half a minute with a server like this), not speed: the
# timer ticks once a second, the tick after the clock moves must show 0:00 and the
# window paint it within the second after; a click on 得　点 is handled at once. Each
# leaves half a second for a busy machine.
TIME_UP_WITHIN = 2.5
SCORE_WITHIN = 1.5
EXIT_WITHIN = 2.0


class HungServer:
    """A Unix socket that accepts connections and never answers; it counts them."""

    def __init__(self, path):
        self.connections = []
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(path)
        self.listener.listen(16)
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            self.connections.append(connection)

    def close(self):
        self.listener.close()
        for connection in self.connections:
            connection.close()


def label_crop(shot, x, y, place):
    left, top, w, h = place
    return list(shot.pixels(x + left, y + top, w, h))


def shows_within(screen, name, what, test, since, within):
    """Screenshots until test(shot) holds. A screenshot begun more than `within` seconds
    after `since` that does not show it fails: what it waits for came too late."""
    while True:
        began = time.monotonic()
        if test(screen.shoot(name)):
            log("%s showed within %.2f s" % (what, time.monotonic() - since))
            return
        if began - since > within:
            raise Failure("%s had not shown in a screenshot begun %.2f s later" % (what, began - since))


def hung_server_environment(display, scratch, socket_path, clock_file):
    """A fresh user whose sound server is the stub and whose clocks libfaketime moves."""
    client_conf = os.path.join(scratch, "client.conf")
    with open(client_conf, "w") as conf:
        conf.write("autospawn = no\n")
    home = os.path.join(scratch, "home")
    os.makedirs(home, mode=0o700)
    return program_environment(
        display, HOME=home, XDG_RUNTIME_DIR=scratch,
        PULSE_SERVER="unix:" + socket_path, PULSE_CLIENTCONFIG=client_conf,
        LD_PRELOAD=FAKETIME_LIBRARY, FAKETIME_TIMESTAMP_FILE=clock_file, FAKETIME_NO_CACHE="1",
        # The sanitizer build wants to come first; libfaketime only wraps the clock calls.
        ASAN_OPTIONS=":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"])))


def open_exam_window(screen, process):
    """The exam window once drawn, and the top left of its client area."""
    exam = wait_for_exam_window(screen, process)
    x, y, _, height = screen.geometry(exam)
    y += height - CLIENT_HEIGHT
    screen.shoot_until("opened", "the window drawn",
                       lambda shot: shot.pixel(x + POINTS_LABEL[0] + 1, y + POINTS_LABEL[1] + 1) == PINK,
                       15)
    return exam, x, y


def time_up_and_score(screen, x, y, clock_file):
    def centre(place):
        return x + place[0] + place[2] // 2, y + place[1] + place[3] // 2

    screen.click(*centre(START_BUTTON))
    started = screen.shoot_until(
        "started", "1:00 after スタート",
        lambda shot: any(is_dark(p) for p in label_crop(shot, x, y, REMAINING_TIME_LABEL)))
    one_hour = label_crop(started, x, y, REMAINING_TIME_LABEL)

    # An hour on: the next tick takes the countdown to 0:00 and plays the sound.
    with open(clock_file, "w") as clock:
        clock.write("+3600\n")
    shows_within(screen, "time-up", "0:00", lambda shot: label_crop(shot, x, y, REMAINING_TIME_LABEL) != one_hour,
                 time.monotonic(), TIME_UP_WITHIN)

    score_region = (x + SCORE_LABEL_LEFT - 4, y + POINTS_LABEL[1], 48, POINTS_LABEL[3])
    screen.click(*centre(SCORE_BUTTON))
    shows_within(screen, "scored", "the score", lambda shot: any(is_dark(p) for p in shot.pixels(*score_region)),
                 time.monotonic(), SCORE_WITHIN)


def quit_by_menu(screen, exam, process):
    screen.focus(exam)
    screen.keys("alt+g")
    wait_for("the game menu", lambda: len(screen.windows()) > 1, 10)
    screen.keys("q")
    chosen = time.monotonic()
    while process.poll() is None and time.monotonic() - chosen < 10:
        time.sleep(0.05)
    took = time.monotonic() - chosen
    if process.poll() is None:
        raise Failure("the program still runs 10 seconds after 終了")
    log("the program ended %.2f s after 終了, status %d" % (took, process.returncode))
    if process.returncode != 0:
        raise Failure("the program ended with status %d" % process.returncode)
    if took > EXIT_WITHIN:
        raise Failure("the program took %.2f s to end, not within %.1f s" % (took, EXIT_WITHIN))


def hung_server_run(program, out_dir, scratch):
    socket_path = os.path.join(scratch, "native")
    clock_file = os.path.join(scratch, "clock")
    with open(clock_file, "w") as clock:
        clock.write("+0\n")
    server = HungServer(socket_path)
    with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
        xvfb, display = start_xvfb(xvfb_log)
    process = None
    try:
        screen = Screen(display, out_dir)
        env = hung_server_environment(display, scratch, socket_path, clock_file)
        with open(os.path.join(out_dir, "program.log"), "w") as program_log:
            process = subprocess.Popen([program], cwd=scratch, env=env, stdout=program_log, stderr=program_log,
                                       start_new_session=True)
        exam, x, y = open_exam_window(screen, process)
        time_up_and_score(screen, x, y, clock_file)
        if not server.connections:
            raise Failure("the program never connected to the sound server")
        log("the sound server took %d connection(s) and answered none" % len(server.connections))
        quit_by_menu(screen, exam, process)
    finally:
        stop(process)
        stop(xvfb)
        server.close()


def main():
    run_main(__doc__, hung_server_run, 100, "nihonshib-hung-", missing=[] if os.path.exists(FAKETIME_LIBRARY) else ["libfaketime"])


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""A blind student's whole run of the exam, by ear, with the real screen reader.

Run inside a private D-Bus session (dbus-run-session). Starts the accessibility bus,
its own Xvfb with a window manager (openbox), the built program and Orca with its
debug output, in which every utterance is a line "SPEECH OUTPUT: '…'" (no speech
synthesiser is needed). Drives the program only with keys (xdotool) and checks what
Orca says: the booklet read line by line with the arrows, a tick, the answer page
chosen, the ten-minute warning and time-up with the clock moved (libfaketime's
timestamp file), the time key, the score after 得　点, the verdict window and the
review read with the arrows, Escape back, and ゲーム › 終了.

Usage: screen_reader_run.py <program> <output folder>
"""

import os
import re
import shutil
import subprocess
import time

from xsession import (EXAM_TITLE, REVIEW_TITLE, VERDICT_TITLE, Failure, Screen, log, program_environment, run_main,
                      start_xvfb, stop, wait_for, wait_for_exam_window)

HERE = os.path.dirname(os.path.abspath(__file__))
# The interpreter Orca is installed for.
ORCA_PYTHON = "/usr/bin/python3"
FAKETIME_LIBRARY = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
# Beyond the X session's own tools.
EXTRA_TOOLS = ("xprop", "openbox", "orca", "dbus-send", "unshare")

# Generous: the machine may be busy with two builds at once.
SPEECH_WITHIN = 30

# The booklet's first lines, as the student reads on from its top with Down; Orca
# says "blank" for an empty one.
BOOKLET_LINES = ("日　本　史　Ｂ", "blank", "（解答番号　1　～　36）", "問題は第1問から")


class Orca:
    """The screen reader, and what it has said since the last look."""

    def __init__(self, env, out_dir):
        self.debug_file = os.path.join(out_dir, "orca-debug.out")
        # A file left by an earlier run would be read as this one's until Orca opens it.
        if os.path.exists(self.debug_file):
            os.remove(self.debug_file)
        self.log = open(os.path.join(out_dir, "orca.log"), "w")
        command = [ORCA_PYTHON, os.path.join(HERE, "orca_line_debug.py"), "--replace",
                   "--debug-file", self.debug_file]
        # --replace ends every other Orca of this user: in a PID namespace of its own,
        # where it can, it sees none but itself.
        if subprocess.run(["unshare", "--pid", "--fork", "--mount-proc", "true"], capture_output=True).returncode == 0:
            command = ["unshare", "--pid", "--fork", "--mount-proc", "--kill-child"] + command
        # No synthesiser: its spawn command fails at once, and Orca only logs what it would say.
        # Its own words ("check box", "blank") in English, whatever the machine's locale.
        env = dict(env, SPEECHD_CMD="/bin/false", LANG="C.UTF-8", LANGUAGE="C")
        env.pop("LC_ALL", None)
        env.pop("LC_MESSAGES", None)
        self.process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=self.log, start_new_session=True)
        self.read_to = 0

    def all_speech(self):
        text = self.debug_text()
        return re.findall(r"SPEECH OUTPUT: '(.*?)'(?=\{|\s|$)", text, re.M)

    def wait_until_ready(self):
        def ready():
            if self.process.poll() is not None:
                raise Failure("orca ended at start-up with status %d" % self.process.returncode)
            try:
                with open(self.debug_file, encoding="utf-8", errors="replace") as debug:
                    return "Startup complete" in debug.read()
            except FileNotFoundError:
                return False
        wait_for("the screen reader to start", ready, 60)

    def debug_text(self):
        try:
            with open(self.debug_file, encoding="utf-8", errors="replace") as debug:
                return debug.read()
        except FileNotFoundError:
            return ""

    def mark(self):
        """From here on, what is said counts for the next wait."""
        self.read_to = len(self.all_speech())
        self.debug_from = len(self.debug_text())

    def focus_moves(self):
        """Where Orca saw the focus go since the last mark."""
        return re.findall(r"ORCA: Changing locusOfFocus from .* to (.*)\. Notify", self.debug_text()[self.debug_from:])

    def said(self, *texts, within=SPEECH_WITHIN):
        """Waits until Orca has said each text (as part of an utterance, in this order)
        since the last mark; returns the utterances that said them."""
        def heard():
            spoken = self.all_speech()[self.read_to:]
            found, at = [], 0
            for text in texts:
                while at < len(spoken) and text not in spoken[at]:
                    at += 1
                if at == len(spoken):
                    return None
                found.append(spoken[at])
                at += 1
            return found, at
        try:
            found, heard_to = wait_for("Orca to say " + " / ".join(texts), heard, within)
        except Failure:
            log("Orca said since the step began: %r" % self.all_speech()[self.read_to:])
            raise
        for utterance in found:
            log("  SPEECH OUTPUT: '%s'" % utterance)
        # What came after the last of them still counts for the next wait.
        self.read_to += heard_to
        return found


class Clock:
    """The program's clocks, moved through libfaketime's timestamp file. Only ever moved
    forward, so the program's timers never wait for a clock gone back."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.write()

    def write(self):
        with open(self.path + ".new", "w") as clock:
            clock.write("%+d\n" % self.offset)
        os.replace(self.path + ".new", self.path)

    def now(self):
        return time.time() + self.offset

    def to_second_of_minute(self, second):
        """Forward to the next moment at that second of a minute; returns the minute's start."""
        self.offset += int((second - self.now()) % 60)
        self.write()
        return int(self.now() // 60) * 60

    def to(self, moment):
        if moment < self.now():
            raise Failure("the clock would have to go back")
        self.offset += int(moment - self.now())
        self.write()


def start_bus(env, out_dir):
    """The accessibility bus, started before the program and the screen reader, as a
    desktop session starts it."""
    bus_log = open(os.path.join(out_dir, "a11y-bus.log"), "w")
    bus = subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"], env=env, stdout=bus_log, stderr=bus_log,
                           start_new_session=True)

    def address():
        result = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                 "org.a11y.Bus.GetAddress"], env=env, capture_output=True, text=True, timeout=15)
        return result.returncode == 0 and "unix:" in result.stdout

    wait_for("the accessibility bus", address, 30)
    return bus


def start_window_manager(screen, out_dir):
    wm_log = open(os.path.join(out_dir, "openbox.log"), "w")
    wm = subprocess.Popen(["openbox", "--sm-disable"], env=screen.env, stdout=wm_log, stderr=wm_log,
                          start_new_session=True)
    wait_for("the window manager", lambda: "window id" in screen.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK",
                                                                       check=False), 30)
    return wm


def program_env(display, scratch, clock_file):
    home = os.path.join(scratch, "home")
    os.makedirs(home, mode=0o700, exist_ok=True)
    client_conf = os.path.join(scratch, "client.conf")
    with open(client_conf, "w") as conf:
        conf.write("autospawn = no\n")
    env = program_environment(
        display, HOME=home, XDG_RUNTIME_DIR=scratch, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
        # No sound server: the time-up sound fails quietly, as on a machine without one.
        PULSE_SERVER="unix:" + os.path.join(scratch, "no-sound-server"), PULSE_CLIENTCONFIG=client_conf,
        LD_PRELOAD=FAKETIME_LIBRARY, FAKETIME_TIMESTAMP_FILE=clock_file, FAKETIME_NO_CACHE="1",
        ASAN_OPTIONS=":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"])))
    # The screen reader reaches the program over the session bus.
    env["DBUS_SESSION_BUS_ADDRESS"] = os.environ["DBUS_SESSION_BUS_ADDRESS"]
    return env


def step(title):
    log("- " + title)


def run_by_ear(screen, orca, clock, exam, program):
    def key(*keys, said=()):
        orca.mark()
        screen.keys(*keys)
        return orca.said(*said) if said else []

    screen.focus(exam)
    step("the exam window: スタート has the focus")
    orca.said("スタート")

    step("スタート, pressed with the space bar at second 5 of a minute")
    minute = clock.to_second_of_minute(5)
    # スタート disables itself, and the focus moves on to the booklet's tabs.
    key("space", said=("問題と図",))
    key("F2", said=("残り時間 1:00",))

    step("Tab to the booklet: its name, then its first line; Down reads on line by line")
    tab_to(screen, orca, "問題冊子")
    orca.said(BOOKLET_LINES[0])
    for line in BOOKLET_LINES[1:]:
        key("Down", said=(line,))
    key("Up", said=(BOOKLET_LINES[2],))
    key("Right", said=("解",))
    # Back to the top: Orca reads the first line or, if it takes the key for a move by
    # character, its first character.
    key("ctrl+Home", said=(BOOKLET_LINES[0][0],))
    screen.shoot("booklet-read")

    step("Tab to the answer sheet and on to 1A-問1's box ④, and tick it")
    key("Tab", said=("解答用紙",))
    key("Tab", said=("1A-問1 ① check box not checked",))
    key("Tab", said=("1A-問1 ②",))
    key("Tab", said=("1A-問1 ③",))
    key("Tab", said=("1A-問1 ④",))
    orca.mark()
    screen.keys("space")
    spoken = orca.said("checked")
    if "not checked" in spoken[0]:
        raise Failure("the tick was read as not checked")

    step("Ctrl+Tab: the next answer page, announced")
    key("ctrl+Tab", said=("1A-問2 未解答",))

    def clock_moves_to(second, announcement, caption):
        """Moves the clock on: the announcement is spoken, the focus stays, F2 reads the time."""
        orca.mark()
        clock.to(second)
        orca.said(announcement)
        if orca.focus_moves():
            raise Failure("the focus moved with %s: %s" % (announcement, orca.focus_moves()))
        key("F2", said=(caption,))

    step("the clock moved to 0:10: the ten-minute warning, and the focus stays")
    clock_moves_to(minute + 50 * 60 + 30, "残り10分です", "残り時間 0:10")

    step("the clock moved to 0:00: time is up")
    clock_moves_to(minute + 60 * 60 + 30, "時間です", "時間切れ")

    step("Tab on to 得　点 and press it: the score is spoken")
    tab_to(screen, orca, "得\u3000点")
    key("space", said=("得点 3 点",))
    key("F2", said=("開始前",))

    step("合格率: the verdict window, its table read with the arrows, Escape back")
    key("Tab", said=("合格率",))
    key("space", said=(VERDICT_TITLE, "合格ライン read only text", "旧帝国大学"))
    key("Down", said=("blank",))
    key("Down", said=("北海道",))
    screen.shoot("verdict-read")
    key("Escape", said=(EXAM_TITLE, "合格率"))

    step("ゲーム › 解答・解説: the review read with the arrows, Escape back")
    choose_from_game_menu(screen, orca, exam, "k", lambda: screen.windows(REVIEW_TITLE))
    orca.said(REVIEW_TITLE, "解答・解説 read only text")
    # Past the advice above it (its length varies with the run), the table of the six
    # sections: its heading row, then points against the maximum.
    down_until(key, "大問\t第1問", "the table of the sections")
    key("Down", said=("得点／配点\t3／17",))
    screen.shoot("review-read")
    # Down to the list of unanswered questions; Return on the first caption of its first
    # row (a tab, 第1問 and a tab before it) reads that entry.
    down_until(key, "無解答　", "the list of unanswered questions")
    key("Down", said=("第1問",))
    key("Home")
    for _ in range(len("\t第1問\t")):
        key("Right")
    key("Return", said=("notification 1A-問2 あなたの解答　無解答",))
    screen.shoot("review-entry-read")
    key("Escape", said=(EXAM_TITLE, "合格率"))

    step("ゲーム › 終了")
    choose_from_game_menu(screen, orca, exam, "q", lambda: program.poll() is not None)


def down_until(key, words, what, presses=8):
    """Down, line by line, until Orca reads a line that starts with words."""
    for _ in range(presses):
        if key("Down", said=("",))[0].startswith(words):
            return
    raise Failure("%s was never read" % what)


def choose_from_game_menu(screen, orca, exam, item, chosen, attempts=3):
    """ゲーム by Alt+G, then the item by its key, until chosen() holds. A window that
    has just closed leaves the window manager to hand the keyboard back to the exam
    window; should that make the window inactive and active again after the menu
    opened, which closes the menu, the menu is opened again."""
    def keyboard_on_exam():
        return screen.run("xdotool", "getwindowfocus", check=False).strip() == str(exam)

    for attempt in range(attempts):
        # Given back by the window manager; focusing it again from here would itself
        # make the window inactive and active again, and close the menu.
        try:
            wait_for("the keyboard back on the exam window", keyboard_on_exam, 15)
        except Failure:
            screen.focus(exam)
        orca.mark()
        screen.keys("alt+g")
        try:
            wait_for("the game menu", lambda: len(screen.windows()) > 1, 15)
            read_to = orca.read_to
            screen.keys(item)
            wait_for("the menu item %s to take effect" % item, chosen, 15)
            orca.read_to = read_to
            return
        except Failure:
            log("  the menu closed before its item was chosen; again")
            screen.keys("Escape")
    raise Failure("ゲーム's item %s was never chosen" % item)


def tab_to(screen, orca, name, presses=12):
    """Tab until Orca reads out the control of that name, one control at a time."""
    for _ in range(presses):
        orca.mark()
        screen.keys("Tab")
        # Orca echoes the key ("tab "), then reads the control that took the focus.
        if name in orca.said(".")[0]:
            return
    raise Failure("Tab never reached " + name)


def run(program, out_dir, scratch):
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        raise Failure("run inside dbus-run-session")
    processes = []
    try:
        with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
            xvfb, display = start_xvfb(xvfb_log)
        processes.append(xvfb)
        screen = Screen(display, out_dir)
        session_env = dict(screen.env, HOME=os.path.join(scratch, "orca-home"), XDG_RUNTIME_DIR=scratch)
        os.makedirs(session_env["HOME"], mode=0o700)
        processes.insert(0, start_bus(session_env, out_dir))
        processes.insert(0, start_window_manager(screen, out_dir))

        clock = Clock(os.path.join(scratch, "clock"))
        with open(os.path.join(out_dir, "program.log"), "w") as program_log:
            program_process = subprocess.Popen([program], cwd=scratch, env=program_env(display, scratch, clock.path),
                                               stdout=program_log, stderr=program_log, start_new_session=True)
        processes.insert(0, program_process)
        exam = wait_for_exam_window(screen, program_process)

        orca = Orca(session_env, out_dir)
        processes.insert(0, orca.process)
        orca.wait_until_ready()
        run_by_ear(screen, orca, clock, exam, program_process)
        if program_process.returncode != 0:
            raise Failure("the program ended with status %d" % program_process.returncode)
    finally:
        for process in processes:
            stop(process)


if __name__ == "__main__":
    missing = [tool for tool in EXTRA_TOOLS if shutil.which(tool) is None]
    missing += [path for path in (FAKETIME_LIBRARY, BUS_LAUNCHER) if not os.path.exists(path)]
    run_main(__doc__, run, 280, "nihonshib-orca-", missing)

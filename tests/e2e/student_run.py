#!/usr/bin/env python3
"""A student's whole run of the exam, in a real X window.

Starts the built program under its own Xvfb and drives it only with real X input
(xdotool): press スタート, tick the answers of questions 1 to 4 on the answer sheet,
press 得　点 and read the score off the screen, open the verdict window with 合格率,
open the review (ゲーム › 解答・解説) and the help window from the menu by keyboard
and leave by ゲーム › 終了. Every step
leaves a screenshot in the output folder. The program is started as the student
would start it, with no options; it must write no file anywhere.

With --short, the run Debian's autopkgtest gives the installed package
(debian/tests/control): スタート, one tick, 得　点 and the score read, ゲーム › 終了
with status 0, nothing written and no process left.

Usage: student_run.py [--short] <program> <output folder>
"""

import os
import subprocess
import sys
import time

from xsession import (run_main, ANSWER_SHEET, BOX_HEIGHT, CLIENT_HEIGHT, CLIENT_WIDTH, EXAM_TITLE, HELP_TITLE, PASS_RATE_BUTTON, PINK,
                      REMAINING_TIME_LABEL, REVIEW_CLIENT, REVIEW_TITLE, SCORE_BUTTON, START_BUTTON,
                      VERDICT_CAPTION, VERDICT_TITLE, ExamWindow, Failure, Screen, differences, is_dark,
                      log, read_score, score_drawings, snapshot, start_xvfb, stop, wait_for,
                      program_environment, wait_for_exam_window)

# The links of the review's summary.
LINK = (0, 0, 238)

# The "合格率 ０％" caption of the verdict for 1 to 39 points.
VERDICT_1_TO_39 = (128, 255, 255)

# question: (number of choices, box the student ticks). Questions 1 to 3 are answered
# correctly (3 + 3 + 2 points), question 4 wrongly (the key wants box 2).
ANSWERS = {1: (4, 4), 2: (4, 2), 3: (6, 4), 4: (4, 1)}
EXPECTED_SCORE = "8"
# The short run answers question 1 alone, correctly.
SHORT_ANSWERS = {1: ANSWERS[1]}
SHORT_SCORE = "3"
CORRECTLY_ANSWERED = (1, 2, 3)
WRONGLY_ANSWERED = (4,)


class Folders:
    """The fresh user's folders, made empty inside the scratch folder."""

    def __init__(self, scratch):
        self.home = os.path.join(scratch, "home")
        self.cache = os.path.join(scratch, "cache")
        self.runtime = os.path.join(scratch, "runtime")
        self.work = os.path.join(scratch, "work")
        for folder in (self.home, self.cache, self.runtime, self.work):
            os.makedirs(folder, mode=0o700)


def fresh_user_environment(display, folders):
    # A fresh user: configuration and data would land in HOME, caches in their own
    # folder, which fontconfig may fill.
    home, runtime = folders.home, folders.runtime
    return program_environment(display, HOME=home,
                               XDG_CONFIG_HOME=os.path.join(home, ".config"),
                               XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                               XDG_STATE_HOME=os.path.join(home, ".local", "state"),
                               XDG_CACHE_HOME=folders.cache, XDG_RUNTIME_DIR=runtime)


def open_exam_window(screen, program_process):
    """The exam window once drawn, with no score showing yet."""
    window = wait_for_exam_window(screen, program_process)
    x, y, width, height = screen.geometry(window)
    if width != CLIENT_WIDTH:
        raise Failure("the exam window is %d pixels wide, not %d" % (width, CLIENT_WIDTH))
    menu_bar = height - CLIENT_HEIGHT
    if not 10 <= menu_bar <= 60:
        raise Failure("the exam window is %d pixels high; no room for a menu bar" % height)
    log("exam window at %d,%d, %dx%d, menu bar %d pixels" % (x, y, width, height, menu_bar))
    exam = ExamWindow(window, x, y, menu_bar)

    opened = screen.shoot_until("opened", "the pink 点 label at its place", exam.is_drawn, 15)
    if any(p != PINK for p in opened.pixels(*exam.score_region)):
        raise Failure("a score shows before any marking")
    return exam


def start_exam(screen, exam):
    screen.click(*exam.at(START_BUTTON))
    screen.shoot_until("started", "the remaining time after スタート",
                       lambda shot: any(is_dark(p) for p in shot.pixels(*exam.region(REMAINING_TIME_LABEL))))


def answer_the_sheet(screen, exam, answers=ANSWERS):
    for question, (choices, box) in sorted(answers.items()):
        screen.click(*exam.answer_tab(question))
        left, top = exam.box_place(choices, box)
        screen.click(left + 7, top + BOX_HEIGHT // 2)

        screen.shoot_until("question%d-ticked" % question, "the tick of question %d box %d" % (question, box),
                           lambda shot: exam.ticked_boxes(shot, choices) == [box])


def read_shown_score(screen, exam, expected):
    screen.click(*exam.at(SCORE_BUTTON))

    scored = screen.shoot_until("scored", "the score",
                                lambda shot: any(is_dark(p) for p in shot.pixels(*exam.score_region)))
    score, margin = read_score(scored.gray(*exam.score_region), score_drawings())
    log("score read off the screen: %r (runner-up %.0f %% farther)" % (score, 100 * margin))
    if score != expected:
        raise Failure("the score reads %r, not %s" % (score, expected))


def score_and_marks(screen, exam):
    read_shown_score(screen, exam, EXPECTED_SCORE)

    for question in CORRECTLY_ANSWERED + WRONGLY_ANSWERED:
        screen.click(*exam.answer_tab(question))
        want_mark = question in CORRECTLY_ANSWERED
        choices, box = ANSWERS[question]
        # The page is up when its tick shows; its mark is drawn with it.
        shot = screen.shoot_until("question%d-marked" % question, "the page of question %d" % question,
                                  lambda shot: exam.ticked_boxes(shot, choices) == [box])
        has_mark = exam.red_in_mark(shot) > 20
        if has_mark != want_mark:
            raise Failure("question %d %s a red ring" % (question, "lacks" if want_mark else "has"))


def verdict_window(screen, exam):
    screen.click(*exam.at(PASS_RATE_BUTTON))
    verdict = wait_for("the verdict window", lambda: screen.windows(VERDICT_TITLE), 10)[0]
    vx, vy, _, _ = screen.geometry(verdict)

    # Destroyed by another program, it opens again at the next click.
    screen.run("xdotool", "windowclose", str(verdict))
    wait_for("the destroyed verdict window to go", lambda: not screen.windows(VERDICT_TITLE), 10)
    screen.run("xdotool", "click", "1")     # the pointer is still on 合格率
    verdict = wait_for("the verdict window again", lambda: screen.windows(VERDICT_TITLE), 10)[0]
    vx, vy, _, _ = screen.geometry(verdict)

    left, top, w, h = VERDICT_CAPTION
    screen.shoot_until("verdict", "the verdict for 1 to 39 points",
                       lambda shot: sum(1 for p in shot.pixels(vx + left, vy + top, w, h)
                                        if p == VERDICT_1_TO_39) > w * h // 2)


def open_menu(screen, exam, keys, name):
    # The menu opens as a window of its own; wait for it before choosing.
    before = len(screen.windows())
    screen.focus(exam.window)
    screen.keys(keys)
    wait_for("the %s menu" % name, lambda: len(screen.windows()) > before, 10)
    screen.shoot(name + "-menu")


def review_window(screen, exam):
    open_menu(screen, exam, "alt+g", "game")
    screen.keys("k")
    review = wait_for("the review window", lambda: screen.windows(REVIEW_TITLE), 10)[0]
    rx, ry, rw, rh = screen.geometry(review)
    # Beside the exam window where the screen has room; on this screen there is none, so
    # it opens over the exam window, at its width, ending above the answer sheet.
    if rw != REVIEW_CLIENT[0] or rh > REVIEW_CLIENT[1]:
        raise Failure("the review window is %dx%d, not %d wide and at most %d high" % ((rw, rh) + REVIEW_CLIENT))
    if ry + rh > exam.y + exam.menu_bar + ANSWER_SHEET[1]:
        raise Failure("the review window covers the answer sheet")
    title = screen.run("xdotool", "getwindowname", str(review)).strip()
    if title != REVIEW_TITLE:
        raise Failure("the review window is titled %r" % title)

    # At its top the summary: the wrong question a link in the links' blue.
    def summary_shown(shot):
        region = list(shot.pixels(rx, ry, rw, rh))
        return sum(1 for p in region if p == LINK) > 30 and sum(1 for p in region if is_dark(p)) > 2000

    screen.shoot_until("review", "the review with its summary of the wrong question", summary_shown)


def help_window(screen, exam):
    open_menu(screen, exam, "alt+h", "help")
    screen.keys("a")
    window = wait_for("the help window", lambda: screen.windows(HELP_TITLE), 10)[0]
    hx, hy, hw, hh = screen.geometry(window)
    # Drawn once its text shows: dark strokes on its white page.
    screen.shoot_until("help", "the help window's text",
                       lambda shot: sum(1 for p in shot.pixels(hx, hy, hw, hh // 4) if is_dark(p)) > 200)


def quit_by_menu(screen, exam, program_process):
    open_menu(screen, exam, "alt+g", "game")
    screen.keys("q")
    chosen = time.monotonic()
    status = None
    while time.monotonic() - chosen < 2.0:
        status = program_process.poll()
        if status is not None and not screen.windows(visible=False):
            break
        time.sleep(0.05)
    took = time.monotonic() - chosen
    screen.shoot("ended")
    if status is None:
        raise Failure("the program still runs 2 seconds after 終了")
    log("the program ended %.2f s after 終了, status %d" % (took, status))
    if status != 0:
        raise Failure("the program ended with status %d" % status)
    left_over = [t for t in (EXAM_TITLE, VERDICT_TITLE, HELP_TITLE, REVIEW_TITLE)
                 if screen.windows(t, visible=False)]
    if left_over or screen.root_children():
        raise Failure("windows remain after 終了: %s" % (left_over or screen.root_children()))
    # It was started in a session of its own: whatever it started would still be there.
    left_running = [pid for pid in os.listdir("/proc") if pid.isdigit() and session_of(pid) == program_process.pid]
    if left_running:
        raise Failure("processes of the program's session remain after 終了: %s" % left_running)


def session_of(pid):
    try:
        with open("/proc/%s/stat" % pid) as f:
            return int(f.read().rsplit(")", 1)[1].split()[3])
    except (OSError, IndexError, ValueError):
        return None


def check_nothing_written(program_dir, program_before, folders, home_before):
    written = ["program folder, " + d for d in differences(program_before, snapshot(program_dir))]
    written += ["HOME, " + d for d in differences(home_before, snapshot(folders.home))]
    for name, folder in (("XDG_CACHE_HOME", folders.cache), ("XDG_RUNTIME_DIR", folders.runtime),
                         ("working folder", folders.work)):
        for path in sorted(snapshot(folder)):
            log("%s holds %s" % (name, path))
    if written:
        raise Failure("the program wrote files:\n  " + "\n  ".join(written))


def student_run(program, out_dir, scratch, short=False):
    program_dir = os.path.dirname(os.path.realpath(program))
    folders = Folders(scratch)

    with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
        xvfb, display = start_xvfb(xvfb_log)
    program_process = None
    try:
        log("display " + display)
        screen = Screen(display, out_dir)
        env = fresh_user_environment(display, folders)

        program_before = snapshot(program_dir)
        home_before = snapshot(folders.home)
        with open(os.path.join(out_dir, "program.log"), "w") as program_log:
            program_process = subprocess.Popen([program], cwd=folders.work, env=env, stdout=program_log,
                                               stderr=program_log, start_new_session=True)

        exam = open_exam_window(screen, program_process)
        start_exam(screen, exam)
        if short:
            answer_the_sheet(screen, exam, SHORT_ANSWERS)
            read_shown_score(screen, exam, SHORT_SCORE)
        else:
            answer_the_sheet(screen, exam)
            score_and_marks(screen, exam)
            verdict_window(screen, exam)
            review_window(screen, exam)
            help_window(screen, exam)
        quit_by_menu(screen, exam, program_process)
        check_nothing_written(program_dir, program_before, folders, home_before)
    finally:
        stop(program_process)
        stop(xvfb)


def main():
    short = sys.argv[1:2] == ["--short"]
    if short:
        del sys.argv[1]
    run_main(__doc__, lambda *args: student_run(*args, short=short), 55, "nihonshib-e2e-")


if __name__ == "__main__":
    main()

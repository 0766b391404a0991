#!/usr/bin/env python3
"""The 解答・解説 review after a timed run, in a real X window.

Starts the built program under its own Xvfb with libfaketime moving its clocks, so an
hour's run takes a few seconds: スタート, the 図１ tab (time then goes to the section
of the answer page shown), ticks on several answer pages at set minutes and one after
0:00, then 得　点. Opens the review with Alt+G, K and checks that it leaves the answer
sheet in sight, that the bars of 時間の使い方 have the lengths of the minutes (within
2 pixels), that a link of the mistakes scrolls to its question and Alt+Left back, that
Tab reaches the first link and Return its question and Alt+Left back again, that Ctrl+P
prints the review to a PDF file through the print dialog (pdftotext finds 誤答,
and the chart's bars are drawn on its first page), and that the summary copied with
Shift+Page Down and Ctrl+C (read with xclip) has no word joiners (U+2060) in it and says
at its top that 第5問 took about 7 minutes more than its share.
Screenshots of every step land in the output folder.

Usage: review_run.py <program> <output folder>
"""

import glob
import os
import re
import shutil
import subprocess
import time

from xsession import (ANSWER_SHEET, BOX_HEIGHT, REVIEW_TITLE, SCORE_BUTTON, WRONG_ROW, Failure, Screen, log,
                      run_main, start_xvfb, stop, wait_for)
from student_run import Folders, fresh_user_environment, open_exam_window, start_exam

FAKETIME_LIBRARY = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"

FIGURE_TAB = (144 + 649 // 2, 0, 649 // 2, 18)   # the 図１ tab of the booklet's tab control
SPENT = (0, 90, 170)        # bar of the minutes spent on a section
SHARE = (150, 150, 150)     # bar of its share of the 60 minutes by its points
TRACK = (236, 236, 236)     # the rest of a bar's full length
LINK = (0, 0, 238)

# (minutes after スタート, question, choices, box): the answer page shown from then on
# and the box ticked on it. Question 2 and 14 are wrong, 1 and 8 right; 25 is ticked
# after 0:00.
STEPS = [(3, 1, 4, 4), (10, 2, 4, 1), (10, 8, 6, 5), (25, 14, 4, 3), (40, 25, 4, None)]
AFTER_TIME_UP = (61, 25, 4, 1)
# Minutes per section from those steps (section 5 runs to 0:00, a little under 20),
# and the bars' full length: the longest figure rounded up to five minutes.
SECTION_MINUTES = {1: 10, 2: 15, 3: 15}
SCALE_MINUTES = 20
SHARE_MINUTES = {1: 10.2, 2: 10.2, 3: 10.2}


def set_clock(clock_file, minutes):
    with open(clock_file, "w") as clock:
        clock.write("+%d\n" % (minutes * 60))


def tick(screen, exam, question, choices, box, page_shown=False):
    # (xdotool's mousemove --sync waits for a move: a second click on the same tab would hang.)
    if not page_shown:
        screen.click(*exam.answer_tab(question))
    if box is None:
        return
    left, top = exam.box_place(choices, box)
    screen.click(left + 7, top + BOX_HEIGHT // 2)
    screen.shoot_until("question%d-ticked" % question, "the tick of question %d" % question,
                       lambda shot: exam.ticked_boxes(shot, choices) == [box])


def timed_run(screen, exam, clock_file):
    start_exam(screen, exam)
    screen.click(*exam.at(FIGURE_TAB))
    for minutes, question, choices, box in STEPS:
        set_clock(clock_file, minutes)
        tick(screen, exam, question, choices, box)
    # 0:00 shows at the next tick of the countdown; a tick after it counts as late.
    set_clock(clock_file, AFTER_TIME_UP[0])
    time.sleep(1.5)
    tick(screen, exam, *AFTER_TIME_UP[1:], page_shown=True)
    screen.click(*exam.at(SCORE_BUTTON))


def bar_rows(shot, region, colour):
    """(y, left, length of colour, length of colour and track) for each pixel row of a bar."""
    x0, y0, width, height = region
    rows = []
    for y in range(y0, y0 + height):
        line = [shot.pixel(x, y) for x in range(x0, x0 + width)]
        if colour not in line:
            continue
        left = line.index(colour)
        filled = 0
        while left + filled < width and line[left + filled] == colour:
            filled += 1
        full = filled
        while left + full < width and line[left + full] == TRACK:
            full += 1
        rows.append((y, x0 + left, filled, full))
    return rows


def bars(shot, region, colour):
    """One (left, length, full length) per bar: the middle row of each run of rows."""
    found, run = [], []
    for row in bar_rows(shot, region, colour):
        if run and row[0] != run[-1][0] + 1:
            found.append(run[len(run) // 2])
            run = []
        run.append(row)
    if run:
        found.append(run[len(run) // 2])
    # A bar is 14 ems long; a pixel of the colour in a letter's edge is no bar.
    return [(left, filled, full) for _, left, filled, full in found if full >= 100]


def check_bars(shot, region):
    spent = bars(shot, region, SPENT)
    share = bars(shot, region, SHARE)
    if len(spent) < 3 or len(share) < 6:
        raise Failure("the chart of 時間の使い方 shows %d bars of minutes and %d of shares" % (len(spent), len(share)))
    for section, (left, filled, full) in zip(SECTION_MINUTES, spent):
        want = full * SECTION_MINUTES[section] / SCALE_MINUTES
        log("section %d: minutes bar %d of %d pixels, expected %.1f" % (section, filled, full, want))
        if abs(filled - want) > 2:
            raise Failure("section %d's bar is %d pixels, not %.1f" % (section, filled, want))
    for section, (left, filled, full) in zip(SHARE_MINUTES, share):
        want = full * SHARE_MINUTES[section] / SCALE_MINUTES
        if abs(filled - want) > 2:
            raise Failure("section %d's share bar is %d pixels, not %.1f" % (section, filled, want))


def review(screen, exam):
    screen.focus(exam.window)
    screen.keys("alt+g")
    time.sleep(0.5)
    screen.keys("k")
    window = wait_for("the review window", lambda: screen.windows(REVIEW_TITLE), 10)[0]
    region = screen.geometry(window)
    rx, ry, rw, rh = region
    sheet_top = exam.y + exam.menu_bar + ANSWER_SHEET[1]
    if ry + rh > sheet_top and rx < exam.x + ANSWER_SHEET[0] + ANSWER_SHEET[2]:
        raise Failure("the review (%d,%d %dx%d) covers the answer sheet, whose top is at %d" % (rx, ry, rw, rh, sheet_top))
    # The advice, the table and the list of mistakes come first: down a page at a time
    # until the chart is in sight, then back to the top.
    screen.focus(window)
    for page in range(6):
        shot = screen.shoot("review-page%d" % page)
        if len(bars(shot, region, SPENT)) >= len(SECTION_MINUTES) and len(bars(shot, region, SHARE)) >= 6:
            break
        screen.keys("Next")
    check_bars(shot, region)
    screen.keys("ctrl+Home")
    return window, region


def entry_on_top(shot, region):
    """The entry of the first wrong question (1A-問2) at the top: its tinted line."""
    return any(p == WRONG_ROW for p in shot.pixels(region[0], region[1], region[2], 60))


def summary_on_top(shot, region):
    return not entry_on_top(shot, region) and any(
        p == LINK for p in shot.pixels(region[0], region[1], region[2], region[3] // 2))


def follow_link(screen, region):
    shot = screen.shoot("review-before-link")
    links = [(x, y) for x, y in ((x, y) for y in range(region[1], region[1] + region[3] // 2)
                                 for x in range(region[0], region[0] + region[2])) if shot.pixel(x, y) == LINK]
    if not links:
        raise Failure("no link in the summary")
    x, y = links[0]
    screen.click(x + 2, y)
    screen.shoot_until("review-after-link", "the wrong entry at the top", lambda shot: entry_on_top(shot, region))


def links_by_keyboard(screen, window, region):
    """Alt+Left back from the clicked link; Tab to the first link, Return, and back again."""
    screen.focus(window)
    for keys, name, what, test in (
            (["alt+Left"], "review-back", "the summary after Alt+Left", summary_on_top),
            (["ctrl+Home", "Tab", "Return"], "review-tab-return", "the entry after Tab, Return", entry_on_top),
            (["alt+Left"], "review-back-again", "the summary after the second Alt+Left", summary_on_top)):
        screen.keys(*keys)
        screen.shoot_until(name, what, lambda shot: test(shot, region))


def copy_summary(screen, window):
    """The summary's lines selected from the keyboard and copied: no word joiners in the text."""
    screen.focus(window)
    screen.keys("ctrl+Home", "shift+Next", "ctrl+c")
    text = wait_for("the copied summary", lambda: (lambda t: t if "誤答" in t else None)(
        screen.run("xclip", "-selection", "clipboard", "-o", check=False)), 10)
    if "\u2060" in text:
        raise Failure("the copied summary has %d word joiners (U+2060)" % text.count("\u2060"))
    # Section 5 took about 19.8 minutes against its 12.6 (a little less on a busy machine,
    # whose clock jumps land late): the advice at the top says so.
    if not re.search(r"第5問に目安より [5-7]\.\d 分多く使いました。", text):
        raise Failure("the copied summary lacks the time spent on 第5問: %s" % text[:200])


def print_to_pdf(screen, window, folders, out_dir):
    screen.focus(window)
    screen.keys("ctrl+p")
    dialog = wait_for("the print dialog", lambda: screen.windows("印刷"), 10)[0]
    screen.shoot("print-dialog")
    screen.focus(dialog)
    screen.keys("Return")
    # The dialog offers the working folder, or the home folder when that lies outside it.
    pdf = wait_for("the printed PDF", lambda: [p for folder in folders for p in glob.glob(os.path.join(folder, "*.pdf"))
                                                if os.path.getsize(p) > 0], 20)[0]
    time.sleep(1)
    text = subprocess.run(["pdftotext", "-enc", "UTF-8", pdf, "-"], capture_output=True, text=True,
                          check=True, timeout=30).stdout
    for words in ("誤答", "時間の使い方", "分野別の得点", "1A-問2"):
        if words not in text:
            raise Failure("the printed review lacks %s" % words)
    page = os.path.join(out_dir, "printed-page")
    subprocess.run(["pdftoppm", "-r", "72", "-f", "1", "-l", "1", "-png", pdf, page], check=True, timeout=30)
    picture = glob.glob(page + "*.png")[0]
    raw = subprocess.run(["convert", picture, "-depth", "8", "rgb:-"], capture_output=True, check=True,
                         timeout=15).stdout
    pixels = [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]
    bar_pixels = sum(1 for p in pixels if p == SPENT)
    log("printed %s: %d bytes; %d pixels of the minutes' bars on page 1" % (os.path.basename(pdf),
                                                                        os.path.getsize(pdf), bar_pixels))
    if bar_pixels < 50:
        raise Failure("the printed first page shows no bars")


def review_run(program, out_dir, scratch):
    folders = Folders(scratch)
    clock_file = os.path.join(scratch, "clock")
    set_clock(clock_file, 0)
    with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
        xvfb, display = start_xvfb(xvfb_log)
    program_process = None
    try:
        screen = Screen(display, out_dir)
        env = fresh_user_environment(display, folders)
        env.update(LD_PRELOAD=FAKETIME_LIBRARY, FAKETIME_TIMESTAMP_FILE=clock_file, FAKETIME_NO_CACHE="1",
                   ASAN_OPTIONS=":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"])))
        with open(os.path.join(out_dir, "program.log"), "w") as program_log:
            program_process = subprocess.Popen([program], cwd=folders.work, env=env, stdout=program_log,
                                               stderr=program_log, start_new_session=True)
        exam = open_exam_window(screen, program_process)
        timed_run(screen, exam, clock_file)
        window, region = review(screen, exam)
        follow_link(screen, region)
        links_by_keyboard(screen, window, region)
        print_to_pdf(screen, window, (folders.work, folders.home), out_dir)
        copy_summary(screen, window)
    finally:
        stop(program_process)
        stop(xvfb)


def main():
    missing = [tool for tool in ("pdftotext", "pdftoppm", "xclip") if shutil.which(tool) is None]
    if not os.path.exists(FAKETIME_LIBRARY):
        missing.append("libfaketime")
    run_main(__doc__, review_run, 110, "nihonshib-review-", missing)


if __name__ == "__main__":
    main()

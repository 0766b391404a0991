#!/usr/bin/env python3
"""A student's whole run of the exam, in a real X window.

Starts the built program under its own Xvfb and drives it only with real X input
(xdotool): press スタート, tick the answers of questions 1 to 4 on the answer sheet,
press 得　点 and read the score off the screen, open the verdict window with 合格率,
open the review (ゲーム › 解答・解説) and the help window from the menu by keyboard
and leave by ゲーム › 終了. Every step
leaves a screenshot in the output folder. The program is started as the student
would start it, with no options; it must write no file anywhere.

Usage: student_run.py <program> <output folder>
"""

import concurrent.futures
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN_WIDTH = 1280
SCREEN_HEIGHT = 1024

# The exam window's client area; the menu bar sits above it.
CLIENT_WIDTH = 792
CLIENT_HEIGHT = 554

PINK = (255, 128, 255)
# The "合格率 ０％" caption of the verdict for 1 to 39 points.
VERDICT_1_TO_39 = (128, 255, 255)

# Places in the client area, in pixels.
START_BUTTON = (32, 64, 81, 33)
SCORE_BUTTON = (32, 208, 81, 33)
PASS_RATE_BUTTON = (32, 384, 81, 33)
POINTS_LABEL = (32, 288, 81, 25)       # pink, "点" at its right end
SCORE_LABEL_LEFT = 48                  # the score stands left of "点"
REMAINING_TIME_LABEL = (56, 120, 49, 25)
ANSWER_SHEET = (144, 408, 641, 145)
TABS_PER_ROW = 12
TAB_ROW_HEIGHT = 520.0 / 2540.0 * 96.0  # 520 HIMETRIC units
ANSWER_FRAME = (104, 72)               # within the answer sheet
BOX_TOP = 24                           # within the frame
BOX_HEIGHT = 17
FOUR_CHOICE_LEFTS = (64, 160, 264, 368)
SIX_CHOICE_LEFTS = (40, 112, 184, 256, 328, 400)
MARK = (40, 88, 33, 33)                # red ring of a correct answer, within the answer sheet
VERDICT_CAPTION = (320, 8, 153, 25)    # within the verdict window

# question: (number of choices, box the student ticks). Questions 1 to 3 are answered
# correctly (3 + 3 + 2 points), question 4 wrongly (the key wants box 2).
ANSWERS = {1: (4, 4), 2: (4, 2), 3: (6, 4), 4: (4, 1)}
EXPECTED_SCORE = "8"
CORRECTLY_ANSWERED = (1, 2, 3)
WRONGLY_ANSWERED = (4,)

EXAM_TITLE = "問題 （日本史B）"
VERDICT_TITLE = "合格ライン"
HELP_TITLE = "バージョン情報"
REVIEW_TITLE = "解答・解説"
REVIEW_CLIENT = (792, 573)
# A wrongly answered question's row in the review: its background, and its red "×" mark.
WRONG_ROW = (255, 224, 224)

TOOLS = ("Xvfb", "xdotool", "xwininfo", "import", "convert", "fc-match")


class Failure(Exception):
    pass


def log(message):
    print(message, flush=True)


class Screen:
    """The X display the program runs on, and the tools that look at it."""

    def __init__(self, display, out_dir):
        self.env = dict(os.environ, DISPLAY=display)
        self.env.pop("XAUTHORITY", None)
        self.out_dir = out_dir
        self.step = 0

    def run(self, *args, check=True):
        result = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=15)
        if check and result.returncode != 0:
            raise Failure("%s failed (%d): %s" % (" ".join(args), result.returncode, result.stderr.strip()))
        return result.stdout

    def windows(self, title=None, visible=True):
        args = ["xdotool", "search"]
        if visible:
            args.append("--onlyvisible")
        if title is None:
            args += ["--class", "nihonshib"]
        else:
            args += ["--name", "^%s$" % re.escape(title)]
        result = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=15)
        return [int(w) for w in result.stdout.split()]

    def geometry(self, window):
        info = self.run("xwininfo", "-id", str(window))

        def field(name):
            return int(re.search(r"%s:\s*(-?\d+)" % re.escape(name), info).group(1))

        return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"))

    def root_children(self):
        info = self.run("xwininfo", "-root", "-children")
        match = re.search(r"(\d+) child(?:ren)?", info)
        return int(match.group(1)) if match else 0

    def shoot(self, name):
        self.step += 1
        return self._take(name)

    def shoot_until(self, name, what, test, timeout=10):
        """Screenshots until test(shot) holds; the last one is kept as this step's picture."""
        self.step += 1
        return wait_for(what, lambda: (lambda shot: shot if test(shot) else None)(self._take(name)), timeout)

    def _take(self, name):
        path = os.path.join(self.out_dir, "%02d-%s.png" % (self.step, name))
        self.run("import", "-window", "root", path)
        return Shot(path)

    def click(self, x, y):
        self.run("xdotool", "mousemove", "--sync", str(x), str(y), "click", "1")

    def keys(self, *keys):
        self.run("xdotool", "key", "--clearmodifiers", *keys)

    def focus(self, window):
        self.run("xdotool", "windowfocus", "--sync", str(window))


class Shot:
    """One screenshot: the PNG on disk and its pixels."""

    def __init__(self, path):
        self.path = path
        raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True,
                             check=True, timeout=15).stdout
        if len(raw) != SCREEN_WIDTH * SCREEN_HEIGHT * 3:
            raise Failure("unexpected screenshot size in %s" % path)
        self.raw = raw

    def pixel(self, x, y):
        i = (y * SCREEN_WIDTH + x) * 3
        return tuple(self.raw[i:i + 3])

    def pixels(self, left, top, width, height):
        for y in range(top, top + height):
            for x in range(left, left + width):
                yield self.pixel(x, y)

    def gray(self, left, top, width, height):
        """A region as grey levels, with the pink of the labels turned white."""
        return gray_image(["convert", self.path, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "+repage",
                           "-fuzz", "3%", "-fill", "white", "-opaque", "#FF80FF"])


# Reading the score. The score label shows one of the 101 numbers 0 to 100 in bold
# 14.25 pt (19 px) IPA Gothic. Each of them is drawn once with ImageMagick from the
# same font file, thickened by a 1 px stroke to stand for the bold face; the number
# on the screen is the one whose drawing lies nearest, both scaled to the same height.
# Whole numbers are compared, so touching digits need no cutting apart. Tried against
# every number as the label draws it, this reads all 101 right, with the runner-up at
# least 19 % farther away; general-purpose OCR misread one in six of them.
GRID_WIDTH = 48
GRID_HEIGHT = 16


def gray_image(convert_args):
    data = subprocess.run(convert_args + ["-colorspace", "Gray", "-depth", "8", "pgm:-"],
                          capture_output=True, check=True, timeout=15).stdout
    magic, size, _, pixels = data.split(b"\n", 3)
    width, height = map(int, size.split())
    return width, height, pixels


def ink_grid(image):
    """The ink of an image's dark part, scaled to GRID_HEIGHT rows, left-aligned."""
    width, height, pixels = image
    ink = [[255 - pixels[y * width + x] for x in range(width)] for y in range(height)]
    rows = [y for y in range(height) if max(ink[y]) > 127]
    columns = [x for x in range(width) if any(ink[y][x] > 127 for y in rows)]
    if not rows:
        return None
    top, bottom, left, right = rows[0], rows[-1] + 1, columns[0], columns[-1] + 1
    scale = GRID_HEIGHT / (bottom - top)
    samples = 4
    grid = []
    for gy in range(GRID_HEIGHT):
        for gx in range(GRID_WIDTH):
            total = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = left + int((gx + (sx + 0.5) / samples) / scale)
                    y = top + int((gy + (sy + 0.5) / samples) / scale)
                    if x < right and y < bottom:
                        total += ink[y][x]
            grid.append(total / (samples * samples * 255))
    return grid


def score_drawings():
    font = subprocess.run(["fc-match", "-f", "%{file}", "IPAGothic:style=Regular"], capture_output=True,
                          text=True, check=True, timeout=15).stdout

    def draw(score):
        return str(score), ink_grid(gray_image(
            ["convert", "-background", "white", "-fill", "black", "-font", font, "-pointsize", "19",
             "-stroke", "black", "-strokewidth", "1", "label:%d" % score]))

    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        return dict(pool.map(draw, range(101)))


def read_score(image, drawings):
    """The nearest score and how much farther the runner-up lies (0 = a tie)."""
    grid = ink_grid(image)
    if grid is None:
        return "", 0.0
    distances = sorted((sum((a - b) ** 2 for a, b in zip(grid, drawing)), score)
                       for score, drawing in drawings.items())
    (best, score), (second, _) = distances[0], distances[1]
    return score, (second - best) / second


def is_dark(rgb):
    return sum(rgb) < 3 * 96


def is_red(rgb):
    return rgb[0] > 180 and rgb[1] < 90 and rgb[2] < 90


def wait_for(what, probe, timeout):
    """Polls probe until it returns something true; fails after timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.1)


def snapshot(folder):
    """Every file and folder below folder, with size and modification time."""
    entries = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            st = os.lstat(path)
            entries[os.path.relpath(path, folder)] = (st.st_mode, st.st_size, st.st_mtime_ns)
    return entries


def differences(before, after):
    changed = []
    for path in sorted(set(before) | set(after)):
        if path not in before:
            changed.append("new: " + path)
        elif path not in after:
            changed.append("gone: " + path)
        elif before[path] != after[path]:
            changed.append("changed: " + path)
    return changed


def start_xvfb(log_file):
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                             "%dx%dx24" % (SCREEN_WIDTH, SCREEN_HEIGHT), "-nolisten", "tcp", "-noreset"],
                            pass_fds=(write_end,), stdout=log_file, stderr=log_file, start_new_session=True)
    os.close(write_end)
    number = b""
    end = time.monotonic() + 15
    while not number.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], max(0.0, end - time.monotonic()))
        chunk = os.read(read_end, 16) if ready else b""
        if not chunk:
            os.close(read_end)
            stop(xvfb)
            raise Failure("Xvfb did not start")
        number += chunk
    os.close(read_end)
    return xvfb, ":" + number.decode().strip()


def stop(process):
    if process is None or process.poll() is not None:
        return
    try:
        os.killpg(process.pid, signal.SIGTERM)
        process.wait(timeout=3)
    except (ProcessLookupError, subprocess.TimeoutExpired):
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait(timeout=3)


def on_deadline(signum, frame):
    # Raised inside the run, so its clean-up still stops the program and Xvfb.
    raise Failure("stopped by signal %d before the run was over" % signum)


def student_run(program, out_dir, scratch):
    program_dir = os.path.dirname(os.path.realpath(program))
    home = os.path.join(scratch, "home")
    cache = os.path.join(scratch, "cache")
    runtime = os.path.join(scratch, "runtime")
    work = os.path.join(scratch, "work")
    for folder in (home, cache, runtime, work):
        os.makedirs(folder, mode=0o700)

    with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
        xvfb, display = start_xvfb(xvfb_log)
    program_process = None
    try:
        log("display " + display)
        screen = Screen(display, out_dir)

        # A fresh user: configuration and data would land in HOME, caches in their own
        # folder, which fontconfig may fill.
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", HOME=home,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                   XDG_STATE_HOME=os.path.join(home, ".local", "state"),
                   XDG_CACHE_HOME=cache, XDG_RUNTIME_DIR=runtime)
        for name in ("XAUTHORITY", "SESSION_MANAGER", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        # No session bus, but a named one that is not there: with no address at all the
        # D-Bus library starts dbus-launch, whose window on this display outlives the program.
        env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(runtime, "no-bus")

        program_before = snapshot(program_dir)
        home_before = snapshot(home)
        with open(os.path.join(out_dir, "program.log"), "w") as program_log:
            program_process = subprocess.Popen([program], cwd=work, env=env, stdout=program_log,
                                               stderr=program_log, start_new_session=True)

        def exam_window():
            if program_process.poll() is not None:
                raise Failure("the program ended at start-up with status %d" % program_process.returncode)
            windows = screen.windows(EXAM_TITLE)
            return windows[0] if len(windows) == 1 else None

        exam = wait_for("the exam window", exam_window, 30)
        x, y, width, height = screen.geometry(exam)
        if width != CLIENT_WIDTH:
            raise Failure("the exam window is %d pixels wide, not %d" % (width, CLIENT_WIDTH))
        menu_bar = height - CLIENT_HEIGHT
        if not 10 <= menu_bar <= 60:
            raise Failure("the exam window is %d pixels high; no room for a menu bar" % height)
        log("exam window at %d,%d, %dx%d, menu bar %d pixels" % (x, y, width, height, menu_bar))

        def at(place, dx=None, dy=None):
            left, top, w, h = place
            return (x + left + (w // 2 if dx is None else dx), y + menu_bar + top + (h // 2 if dy is None else dy))

        # The pink "点" label where the layout puts it proves the menu-bar height and
        # that the window has been drawn.
        def drawn(shot):
            left, top, w, h = POINTS_LABEL
            corner = [shot.pixel(x + left + dx, y + menu_bar + top + dy) for dx in (1, 8) for dy in (1, h - 2)]
            above = shot.pixel(x + left + 8, y + menu_bar + top - 3)
            return all(p == PINK for p in corner) and above != PINK

        opened = screen.shoot_until("opened", "the pink 点 label at its place", drawn, 15)
        score_region = (x + SCORE_LABEL_LEFT - 4, y + menu_bar + POINTS_LABEL[1], 48, POINTS_LABEL[3])
        if any(p != PINK for p in opened.pixels(*score_region)):
            raise Failure("a score shows before any marking")

        screen.click(*at(START_BUTTON))
        left, top, w, h = REMAINING_TIME_LABEL

        screen.shoot_until("started", "the remaining time after スタート",
                           lambda shot: any(is_dark(p) for p in shot.pixels(x + left, y + menu_bar + top, w, h)))

        def answer_tab(question):
            index = question - 1
            row, column = divmod(index, TABS_PER_ROW)
            left, top, width, _ = ANSWER_SHEET
            tab_left = round(column * width / TABS_PER_ROW)
            tab_right = round((column + 1) * width / TABS_PER_ROW)
            tab_top = round(row * TAB_ROW_HEIGHT)
            tab_bottom = round((row + 1) * TAB_ROW_HEIGHT)
            return (x + left + (tab_left + tab_right) // 2, y + menu_bar + top + (tab_top + tab_bottom) // 2 + 1)

        def box_place(choices, box):
            lefts = SIX_CHOICE_LEFTS if choices == 6 else FOUR_CHOICE_LEFTS
            left = x + ANSWER_SHEET[0] + ANSWER_FRAME[0] + lefts[box - 1]
            top = y + menu_bar + ANSWER_SHEET[1] + ANSWER_FRAME[1] + BOX_TOP
            return left, top

        def ticked_boxes(shot, choices):
            # A tick draws dark strokes inside the white square at the left of the box.
            ticked = []
            for box in range(1, choices + 1):
                left, top = box_place(choices, box)
                inside = shot.pixels(left + 4, top + 5, 7, 7)
                if sum(1 for p in inside if is_dark(p)) >= 5:
                    ticked.append(box)
            return ticked

        for question, (choices, box) in sorted(ANSWERS.items()):
            screen.click(*answer_tab(question))
            left, top = box_place(choices, box)
            screen.click(left + 7, top + BOX_HEIGHT // 2)

            screen.shoot_until("question%d-ticked" % question, "the tick of question %d box %d" % (question, box),
                               lambda shot: ticked_boxes(shot, choices) == [box])

        screen.click(*at(SCORE_BUTTON))

        scored = screen.shoot_until("scored", "the score",
                                    lambda shot: any(is_dark(p) for p in shot.pixels(*score_region)))
        score, margin = read_score(scored.gray(*score_region), score_drawings())
        log("score read off the screen: %r (runner-up %.0f %% farther)" % (score, 100 * margin))
        if score != EXPECTED_SCORE:
            raise Failure("the score reads %r, not %s" % (score, EXPECTED_SCORE))

        def red_in_mark(shot):
            left, top, w, h = MARK
            return sum(1 for p in shot.pixels(x + ANSWER_SHEET[0] + left, y + menu_bar + ANSWER_SHEET[1] + top, w, h)
                       if is_red(p))

        for question in CORRECTLY_ANSWERED + WRONGLY_ANSWERED:
            screen.click(*answer_tab(question))
            want_mark = question in CORRECTLY_ANSWERED
            choices, box = ANSWERS[question]
            # The page is up when its tick shows; its mark is drawn with it.
            shot = screen.shoot_until("question%d-marked" % question, "the page of question %d" % question,
                                      lambda shot: ticked_boxes(shot, choices) == [box])
            has_mark = red_in_mark(shot) > 20
            if has_mark != want_mark:
                raise Failure("question %d %s a red ring" % (question, "lacks" if want_mark else "has"))

        screen.click(*at(PASS_RATE_BUTTON))
        verdict = wait_for("the verdict window", lambda: screen.windows(VERDICT_TITLE), 10)[0]
        vx, vy, _, _ = screen.geometry(verdict)

        left, top, w, h = VERDICT_CAPTION
        screen.shoot_until("verdict", "the verdict for 1 to 39 points",
                           lambda shot: sum(1 for p in shot.pixels(vx + left, vy + top, w, h)
                                            if p == VERDICT_1_TO_39) > w * h // 2)

        def open_menu(keys, name):
            # The menu opens as a window of its own; wait for it before choosing.
            before = len(screen.windows())
            screen.focus(exam)
            screen.keys(keys)
            wait_for("the %s menu" % name, lambda: len(screen.windows()) > before, 10)
            screen.shoot(name + "-menu")

        open_menu("alt+g", "game")
        screen.keys("k")
        review = wait_for("the review window", lambda: screen.windows(REVIEW_TITLE), 10)[0]
        rx, ry, rw, rh = screen.geometry(review)
        if (rw, rh) != REVIEW_CLIENT:
            raise Failure("the review window is %dx%d, not %dx%d" % ((rw, rh) + REVIEW_CLIENT))
        title = screen.run("xdotool", "getwindowname", str(review)).strip()
        if title != REVIEW_TITLE:
            raise Failure("the review window is titled %r" % title)

        def wrong_rows_shown(shot):
            region = list(shot.pixels(rx, ry, rw, rh))
            return (sum(1 for p in region if p == WRONG_ROW) > 5000 and sum(1 for p in region if is_red(p)) > 20
                    and sum(1 for p in region if is_dark(p)) > 2000)

        screen.shoot_until("review", "the review with its wrong rows in red", wrong_rows_shown)

        open_menu("alt+h", "help")
        screen.keys("a")
        help_window = wait_for("the help window", lambda: screen.windows(HELP_TITLE), 10)[0]
        hx, hy, hw, hh = screen.geometry(help_window)
        # Drawn once its text shows: dark strokes on its white page.
        screen.shoot_until("help", "the help window's text",
                           lambda shot: sum(1 for p in shot.pixels(hx, hy, hw, hh // 4) if is_dark(p)) > 200)

        open_menu("alt+g", "game")
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

        written = ["program folder, " + d for d in differences(program_before, snapshot(program_dir))]
        written += ["HOME, " + d for d in differences(home_before, snapshot(home))]
        for name, folder in (("XDG_CACHE_HOME", cache), ("XDG_RUNTIME_DIR", runtime), ("working folder", work)):
            for path in sorted(snapshot(folder)):
                log("%s holds %s" % (name, path))
        if written:
            raise Failure("the program wrote files:\n  " + "\n  ".join(written))
    finally:
        stop(program_process)
        stop(xvfb)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    program = os.path.abspath(sys.argv[1])
    out_dir = os.path.abspath(sys.argv[2])
    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    if missing:
        sys.exit("missing %s: run tools/install-deps.sh test" % ", ".join(missing))
    os.makedirs(out_dir, exist_ok=True)
    for name in os.listdir(out_dir):
        if name.endswith(".png"):
            os.remove(os.path.join(out_dir, name))

    signal.signal(signal.SIGALRM, on_deadline)
    signal.signal(signal.SIGTERM, on_deadline)
    signal.alarm(55)
    scratch = tempfile.mkdtemp(prefix="nihonshib-e2e-")
    started = time.monotonic()
    try:
        student_run(program, out_dir, scratch)
    except Failure as failure:
        log("FAIL: %s" % failure)
        log("screenshots in " + out_dir)
        sys.exit(1)
    finally:
        signal.alarm(0)
        shutil.rmtree(scratch, ignore_errors=True)
    log("PASS in %.1f s; screenshots in %s" % (time.monotonic() - started, out_dir))


if __name__ == "__main__":
    main()

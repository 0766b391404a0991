"""The X session the end-to-end runs drive the program in, and what they read off it.

Its own Xvfb started and stopped, the screen looked at and typed on with xdotool and
ImageMagick, screenshots and their pixels, the score read off the screen, the places
of the exam window's controls, and the folder snapshots that show what a run wrote.
"""

import concurrent.futures
import os
import re
import select
import signal
import subprocess
import time

SCREEN_WIDTH = 1280
SCREEN_HEIGHT = 1024

# The exam window's client area; the menu bar sits above it.
CLIENT_WIDTH = 792
CLIENT_HEIGHT = 554

PINK = (255, 128, 255)

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


class ExamWindow:
    """The exam window on the screen, and where the places of its client area lie there."""

    def __init__(self, window, x, y, menu_bar):
        self.window = window
        self.x = x
        self.y = y
        self.menu_bar = menu_bar
        self.score_region = (x + SCORE_LABEL_LEFT - 4, y + menu_bar + POINTS_LABEL[1], 48, POINTS_LABEL[3])

    def at(self, place):
        """The middle of a place of the client area."""
        left, top, w, h = place
        return (self.x + left + w // 2, self.y + self.menu_bar + top + h // 2)

    def region(self, place):
        left, top, w, h = place
        return (self.x + left, self.y + self.menu_bar + top, w, h)

    def is_drawn(self, shot):
        """The pink "点" label where the layout puts it proves the menu-bar height and
        that the window has been drawn."""
        left, top, w, h = POINTS_LABEL
        corner = [shot.pixel(self.x + left + dx, self.y + self.menu_bar + top + dy)
                  for dx in (1, 8) for dy in (1, h - 2)]
        above = shot.pixel(self.x + left + 8, self.y + self.menu_bar + top - 3)
        return all(p == PINK for p in corner) and above != PINK

    def answer_tab(self, question):
        index = question - 1
        row, column = divmod(index, TABS_PER_ROW)
        left, top, width, _ = ANSWER_SHEET
        tab_left = round(column * width / TABS_PER_ROW)
        tab_right = round((column + 1) * width / TABS_PER_ROW)
        tab_top = round(row * TAB_ROW_HEIGHT)
        tab_bottom = round((row + 1) * TAB_ROW_HEIGHT)
        return (self.x + left + (tab_left + tab_right) // 2,
                self.y + self.menu_bar + top + (tab_top + tab_bottom) // 2 + 1)

    def box_place(self, choices, box):
        lefts = SIX_CHOICE_LEFTS if choices == 6 else FOUR_CHOICE_LEFTS
        left = self.x + ANSWER_SHEET[0] + ANSWER_FRAME[0] + lefts[box - 1]
        top = self.y + self.menu_bar + ANSWER_SHEET[1] + ANSWER_FRAME[1] + BOX_TOP
        return left, top

    def ticked_boxes(self, shot, choices):
        # A tick draws dark strokes inside the white square at the left of the box.
        ticked = []
        for box in range(1, choices + 1):
            left, top = self.box_place(choices, box)
            inside = shot.pixels(left + 4, top + 5, 7, 7)
            if sum(1 for p in inside if is_dark(p)) >= 5:
                ticked.append(box)
        return ticked

    def red_in_mark(self, shot):
        left, top, w, h = MARK
        return sum(1 for p in shot.pixels(self.x + ANSWER_SHEET[0] + left,
                                          self.y + self.menu_bar + ANSWER_SHEET[1] + top, w, h)
                   if is_red(p))


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


def program_environment(display, **settings):
    """The program's environment on our Xvfb: the caller's, less what ties it to the caller's
    desktop (X authority, session manager, Wayland, session bus: as on a bare X server, where
    the program must start no bus of its own), plus settings."""
    env = {name: value for name, value in os.environ.items()
           if name not in ("XAUTHORITY", "SESSION_MANAGER", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
    env.update(DISPLAY=display, QT_QPA_PLATFORM="xcb", **settings)
    return env


def wait_for_exam_window(screen, process):
    """The exam window's X id once it is mapped; fails if the program ends first."""
    def exam_window():
        if process.poll() is not None:
            raise Failure("the program ended at start-up with status %d" % process.returncode)
        windows = screen.windows(EXAM_TITLE)
        return windows[0] if len(windows) == 1 else None

    return wait_for("the exam window", exam_window, 30)


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


def run_main(doc, run, deadline, scratch_prefix, missing=()):
    """What every driver's main() does: program and output folder from the command
    line, the tools checked, a deadline, a scratch folder removed afterwards, and the
    run's Failure turned into status 1. run(program, out_dir, scratch) does the rest."""
    import shutil
    import sys
    import tempfile

    if len(sys.argv) != 3:
        sys.exit(doc)
    program = os.path.abspath(sys.argv[1])
    out_dir = os.path.abspath(sys.argv[2])
    missing = [tool for tool in TOOLS if shutil.which(tool) is None] + list(missing)
    if missing:
        sys.exit("missing %s: run tools/install-deps.sh test" % ", ".join(missing))
    os.makedirs(out_dir, exist_ok=True)
    for name in os.listdir(out_dir):
        if name.endswith(".png"):
            os.remove(os.path.join(out_dir, name))

    signal.signal(signal.SIGALRM, on_deadline)
    signal.signal(signal.SIGTERM, on_deadline)
    signal.alarm(deadline)
    # Under /tmp, so a socket path in it stays within 108 bytes.
    scratch = tempfile.mkdtemp(prefix=scratch_prefix, dir="/tmp")
    started = time.monotonic()
    try:
        run(program, out_dir, scratch)
    except Failure as failure:
        log("FAIL: %s" % failure)
        log("screenshots and the program's output in " + out_dir)
        sys.exit(1)
    finally:
        signal.alarm(0)
        shutil.rmtree(scratch, ignore_errors=True)
    log("PASS in %.1f s; screenshots in %s" % (time.monotonic() - started, out_dir))

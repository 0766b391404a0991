#!/usr/bin/env python3
"""The program in sessions other than the developer's, and the tool given what is no document.

session <program> <out>: a fresh user with no session bus under Xvfb, quit by ゲーム › 終了:
    no file appears in HOME, the XDG folders, TMPDIR (where Qt and the sound library
    would put what they make in /tmp) or the program folder, and no process carrying
    the run's marker in its environment (a bus daemon would) outlives the program.
    Nor does a cache appear when fontconfig finds font folders without one.
locales <program> <out>: the exam window, its ゲーム menu, a verdict and the help window
    under LANG=C, en_US.UTF-8 and ja_JP.UTF-8 are identical pixel for pixel.
    Without XDG_RUNTIME_DIR, the private runtime folder is gone when the program ends.
refusals <program> <out>: no display named, none at the one named, an X server that never answers (within 6 s) and an
    unknown platform give status 1 and one message in Japanese and English; no IPA fonts
    gives one warning naming them and their packages, and a run.
tool <rtf-to-text> <out>: /dev/zero, a FIFO with no writer, a folder and a file over
    64 MiB are refused with status 1 and a message, without blocking; without
    XDG_RUNTIME_DIR it leaves nothing in TMPDIR.
"""

import os
import socket
import subprocess
import sys
import tempfile
import time
import uuid

from xsession import (CLIENT_HEIGHT, PASS_RATE_BUTTON, SCORE_BUTTON, Failure, Screen, differences, log, snapshot,
                      start_xvfb, stop, wait_for)


def fresh_env(scratch, **extra):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY", "WAYLAND_DISPLAY", "LC_ALL", "LANGUAGE", "FC_LANG")}
    for name in ("home", "cache", "runtime", "tmp"):
        os.makedirs(os.path.join(scratch, name), mode=0o700)
    env.update(HOME=scratch + "/home", XDG_CONFIG_HOME=scratch + "/home/.config", XDG_CACHE_HOME=scratch + "/cache",
               XDG_RUNTIME_DIR=scratch + "/runtime", TMPDIR=scratch + "/tmp", QT_QPA_PLATFORM="xcb", **extra)
    return env


def start(program, env, out_dir, name):
    with open(os.path.join(out_dir, name + ".log"), "w") as program_log:
        return subprocess.Popen([program], cwd=env["HOME"], env=env, stdout=program_log, stderr=program_log,
                                start_new_session=True)


def marked(marker):
    """Command lines of the processes that carry the marker in their environment."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if marker.encode() in f.read().split(b"\0"):
                    with open("/proc/%s/cmdline" % pid, "rb") as c:
                        found.append((int(pid), c.read().replace(b"\0", b" ").decode(errors="replace")))
        except OSError:
            pass
    return found


def session(program, display, out_dir, scratch):
    run_id = uuid.uuid4().hex
    marker = "NIHONSHIB_RUN=" + run_id
    env = fresh_env(scratch, DISPLAY=display, NIHONSHIB_RUN=run_id)
    folders = [scratch, os.path.dirname(os.path.realpath(program))]
    before = [snapshot(f) for f in folders]
    log("before: processes %s, files %s" % (marked(marker), sorted(before[0])))
    process, screen = start(program, env, out_dir, "session"), Screen(display, out_dir)
    try:
        exam = wait_for("the exam window", screen.windows, 30)[0]
        time.sleep(1)
        log("running: processes %s" % marked(marker))
        screen.focus(exam)
        screen.keys("alt+g")
        time.sleep(0.5)
        screen.keys("q")
        log("status %d" % process.wait(timeout=10))
    finally:
        stop(process)
    time.sleep(0.5)
    left = marked(marker)
    written = sum((differences(b, snapshot(f)) for b, f in zip(before, folders)), [])
    log("after: processes %s, files written %s" % (left, written))
    for pid, _ in left:
        os.kill(pid, 15)
    if left or written or process.returncode:
        raise Failure("processes left %s, files written %s, status %d" % (left, written, process.returncode))

    # No runtime folder named, as in a session without a login manager: the toolkit's
    # folder would stay in TMPDIR; the program's own private one goes when it ends.
    env_without = {k: v for k, v in env.items() if k != "XDG_RUNTIME_DIR"}
    before = snapshot(scratch)
    process = start(program, env_without, out_dir, "no-runtime-folder")
    try:
        exam = wait_for("the exam window", screen.windows, 30)[0]
        private = [os.path.join(env["TMPDIR"], name) for name in os.listdir(env["TMPDIR"])]
        modes = [oct(os.stat(path).st_mode & 0o777) for path in private]
        log("no runtime folder named: while running, TMPDIR holds %s %s" % (private, modes))
        if not os.path.isdir("/run/user/%d" % os.getuid()) and modes != ["0o700"]:
            raise Failure("while running without a runtime folder, TMPDIR holds %s %s" % (private, modes))
        screen.focus(exam)
        screen.keys("alt+g")
        time.sleep(0.5)
        screen.keys("q")
        process.wait(timeout=10)
    finally:
        stop(process)
    # The folder made and removed changes TMPDIR's own time, nothing else.
    written = [w for w in differences(before, snapshot(scratch)) if w != "changed: tmp"] + os.listdir(env["TMPDIR"])
    log("no runtime folder named: status %d, left %s" % (process.returncode, written))
    if written or process.returncode:
        raise Failure("without a runtime folder: status %d, left %s" % (process.returncode, written))

    # Font folders without a cache: fontconfig would write one into a per-user folder.
    config = os.path.join(scratch, "uncached.conf")
    with open(config, "w") as f:
        f.write('<fontconfig><dir>/usr/share/fonts</dir><cachedir prefix="xdg">fontconfig</cachedir>'
                '<cachedir>~/.fontconfig</cachedir></fontconfig>\n')
    before = snapshot(scratch)
    process = start(program, dict(env, QT_QPA_PLATFORM="offscreen", FONTCONFIG_FILE=config), out_dir, "uncached-fonts")
    time.sleep(3)
    stop(process)
    written = differences(before, snapshot(scratch))
    log("uncached fonts: files written %s" % written)
    if written:
        raise Failure("with uncached fonts the program wrote %s" % written)


def still_shot(screen, name):
    """A screenshot once two in a row are the same."""
    last = []

    def same_as_last(shot):
        same = bool(last) and last[-1] == shot.raw
        last.append(shot.raw)
        return same
    return screen.shoot_until(name, "a still screen", same_as_last)


def locales(program, display, out_dir, scratch):
    shots = {}
    for locale in ("C", "en_US.UTF-8", "ja_JP.UTF-8"):
        screen = Screen(display, os.path.join(out_dir, locale))
        os.makedirs(screen.out_dir, exist_ok=True)
        screen.run("xdotool", "mousemove", "--sync", "1279", "1023")  # no button drawn hovered
        process = start(program, fresh_env(os.path.join(scratch, locale), DISPLAY=display, LANG=locale),
                        screen.out_dir, "program")
        try:
            def settled(name):
                return still_shot(screen, name)
            exam = wait_for("the exam window", screen.windows, 30)[0]
            x, y, _, height = screen.geometry(exam)
            shots[locale] = [settled("exam")]
            screen.focus(exam)
            screen.keys("alt+g")
            shots[locale].append(settled("game-menu"))
            screen.keys("Escape", "Escape")
            for left, top, w, h in (SCORE_BUTTON, PASS_RATE_BUTTON):
                screen.click(x + left + w // 2, y + height - CLIENT_HEIGHT + top + h // 2)
            wait_for("the verdict window", lambda: len(screen.windows()) == 2, 10)
            screen.focus(exam)  # a focused viewer's caret blinks
            shots[locale].append(settled("verdict"))
            screen.focus(exam)
            screen.keys("alt+h")
            time.sleep(0.3)
            screen.keys("a")
            wait_for("the help window", lambda: len(screen.windows()) == 3, 10)
            screen.focus(exam)
            shots[locale].append(settled("help"))
        finally:
            stop(process)
    failures = []
    for locale in ("en_US.UTF-8", "ja_JP.UTF-8"):
        for reference, shot in zip(shots["C"], shots[locale]):
            count = sum(reference.raw[i:i + 3] != shot.raw[i:i + 3] for i in range(0, len(shot.raw), 3))
            log("%s: %d pixels differ from C" % (shot.path, count))
            if count:
                failures.append(shot.path)
    if failures:
        raise Failure("differ from their C counterparts: %s" % failures)


def run(args, env, **kwargs):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=30, **kwargs)
    log("%s: status %d, stderr %r" % (" ".join(args[1:]) or args[0], result.returncode, result.stderr))
    return result


def silent_x_display():
    """A display number whose socket takes connections and never answers, as a wedged X server's."""
    for number in range(700, 1000):
        if os.path.exists("/tmp/.X11-unix/X%d" % number):
            continue
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            listener.bind("\0/tmp/.X11-unix/X%d" % number)
        except OSError:
            listener.close()
            continue
        listener.listen(8)
        return listener, ":%d" % number
    raise Failure("no free display number")


def refusals(program, out_dir, scratch):
    env = fresh_env(scratch)
    env.pop("DISPLAY", None)
    for case_env, says in ((env, ("画面が指定されていません", "no display is named")),
                           (dict(env, DISPLAY=":97"), ("応答がありません", "there is no answer from the X display :97"))):
        result = run([program], case_env)
        if result.returncode != 1 or not all(result.stderr.count(t) == 1 for t in says):
            raise Failure("no display: status %d, %r" % (result.returncode, result.stderr))
    listener, display = silent_x_display()
    try:
        began = time.monotonic()
        result = run([program], dict(env, DISPLAY=display))
        seconds = time.monotonic() - began
    finally:
        listener.close()
    log("silent X display: %.1f s" % seconds)
    if result.returncode != 1 or seconds > 6 or not all(result.stderr.count(t) == 1 for t in (
            "応答しません", "did not answer within 5 seconds")):
        raise Failure("silent X display: status %d after %.1f s, %r" % (result.returncode, seconds, result.stderr))
    result = run([program], dict(env, QT_QPA_PLATFORM="nosuchplatform"))
    if result.returncode != 1 or not all(result.stderr.count(t) == 1 for t in (
            "画面の種類 nosuchplatform", "there is no windowing platform nosuchplatform")):
        raise Failure("unknown platform: status %d, %r" % (result.returncode, result.stderr))
    config = os.path.join(scratch, "no-ipa.conf")
    with open(config, "w") as f:
        f.write("<fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir></fontconfig>\n")
    process = start(program, dict(env, QT_QPA_PLATFORM="offscreen", FONTCONFIG_FILE=config), out_dir, "no-fonts")
    time.sleep(3)
    running = process.poll() is None
    stop(process)
    with open(os.path.join(out_dir, "no-fonts.log")) as f:
        warnings = [line for line in f if all(t in line for t in ("IPAGothic, IPAMincho", "fonts-ipafont-gothic",
                                                                   "fonts-ipafont-mincho"))]
    log("no IPA fonts: running after 3 s %s, warning %r" % (running, warnings))
    if not running or len(warnings) != 2:  # one line in Japanese, one in English
        raise Failure("without the IPA fonts: running %s, warning %r" % (running, warnings))


def tool(rtf_to_text, out_dir, scratch):
    os.mkfifo(scratch + "/fifo.rtf")
    with open(scratch + "/big.rtf", "wb") as f:
        f.truncate(64 * 1024 * 1024 + 1)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    for path, why in (("/dev/zero", "not a regular file"), (scratch + "/fifo.rtf", "not a regular file"),
                      (scratch, "not a regular file"), (scratch + "/big.rtf", "larger than the 64 MiB")):
        result = run([rtf_to_text, path], env)
        if result.returncode != 1 or why not in result.stderr or result.stdout:
            raise Failure("rtf-to-text %s: status %d, %r" % (path, result.returncode, result.stderr))
    # No runtime folder named: none is left in TMPDIR.
    tmp = os.path.join(scratch, "tmp")
    os.mkdir(tmp)
    document = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "documents", "help.rtf")
    result = run([rtf_to_text, document], dict({k: v for k, v in env.items() if k != "XDG_RUNTIME_DIR"}, TMPDIR=tmp))
    if result.returncode != 0 or os.listdir(tmp):
        raise Failure("rtf-to-text without a runtime folder: status %d, left %s" % (result.returncode, os.listdir(tmp)))


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("session", "locales", "refusals", "tool"):
        sys.exit(__doc__)
    mode, target, out_dir = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    os.makedirs(out_dir, exist_ok=True)
    xvfb = None
    with tempfile.TemporaryDirectory(prefix="nihonshib-session-") as scratch:
        try:
            if mode in ("session", "locales"):
                with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
                    xvfb, display = start_xvfb(xvfb_log)
                globals()[mode](target, display, out_dir, scratch)
            else:
                globals()[mode](target, out_dir, scratch)
        except (Failure, subprocess.TimeoutExpired) as failure:
            log("FAIL: %s" % failure)
            sys.exit(1)
        finally:
            stop(xvfb)
    log("PASS")


if __name__ == "__main__":
    main()

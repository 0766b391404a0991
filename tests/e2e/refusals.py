#!/usr/bin/env python3
"""Plain refusals and warnings where the program or the tool cannot do their work.

program: with no display (DISPLAY unset, then one nobody listens on, and no Wayland)
the program ends with status 1 and one message in Japanese and English; with a font
configuration that lists no IPA fonts it warns once, naming the fonts and their
packages, and runs on (off-screen).
tool: rtf-to-text refuses /dev/zero, a FIFO with no writer, a folder and a file over
64 MiB with status 1 and a message, without blocking.

Usage: refusals.py program <nihonshib> | refusals.py tool <rtf-to-text>
"""

import os
import subprocess
import sys
import tempfile
import time

NO_DISPLAY = ("ウィンドウを開く画面がありません", "there is no display to open the window on")
MISSING_FONTS = ("IPAGothic, IPAMincho", "fonts-ipafont-gothic", "fonts-ipafont-mincho")


class Failure(Exception):
    pass


def check_no_display(program, scratch):
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", HOME=scratch, XDG_RUNTIME_DIR=scratch)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"):
        env.pop(name, None)
    for case, display in (("DISPLAY unset", None), ("DISPLAY with no server", ":97")):
        case_env = dict(env, DISPLAY=display) if display else env
        result = subprocess.run([program], env=case_env, capture_output=True, text=True, timeout=30)
        print("%s: status %d, stderr %r" % (case, result.returncode, result.stderr))
        if result.returncode != 1:
            raise Failure("%s: status %d, not 1" % (case, result.returncode))
        if not all(result.stderr.count(text) == 1 for text in NO_DISPLAY):
            raise Failure("%s: not one message in Japanese and English: %r" % (case, result.stderr))


def check_missing_fonts(program, scratch):
    config = os.path.join(scratch, "no-ipa-fonts.conf")
    with open(config, "w") as f:
        f.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n'
                "<fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir></fontconfig>\n")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", FONTCONFIG_FILE=config, HOME=scratch,
               XDG_RUNTIME_DIR=scratch, XDG_CACHE_HOME=os.path.join(scratch, "cache"))
    with open(os.path.join(scratch, "stderr"), "w+") as stderr:
        process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=stderr)
        time.sleep(3)
        running = process.poll() is None
        process.kill()
        process.wait()
        stderr.seek(0)
        output = stderr.read()
    print("no IPA fonts: running after 3 s: %s, stderr %r" % (running, output))
    if not running:
        raise Failure("the program did not run on without the IPA fonts")
    warnings = [line for line in output.splitlines() if all(text in line for text in MISSING_FONTS)]
    if len(warnings) != 2:  # the Japanese line and the English line
        raise Failure("no warning naming the fonts and their packages: %r" % output)


def check_tool(tool, scratch):
    fifo = os.path.join(scratch, "fifo.rtf")
    os.mkfifo(fifo)
    big = os.path.join(scratch, "big.rtf")
    with open(big, "wb") as f:
        f.truncate(64 * 1024 * 1024 + 1)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=scratch)
    for path, why in (("/dev/zero", "not a regular file"), (fifo, "not a regular file"),
                      (scratch, "not a regular file"), (big, "larger than the 64 MiB")):
        try:
            result = subprocess.run([tool, path], env=env, capture_output=True, text=True, timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure("rtf-to-text %s: still reading after 20 s" % path)
        print("%s: status %d, stderr %r" % (path, result.returncode, result.stderr))
        if result.returncode != 1 or why not in result.stderr or result.stdout:
            raise Failure("rtf-to-text %s: status %d, %r" % (path, result.returncode, result.stderr))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("program", "tool"):
        sys.exit(__doc__)
    target = os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory(prefix="nihonshib-refusals-") as scratch:
        os.chmod(scratch, 0o700)
        try:
            if sys.argv[1] == "program":
                check_no_display(target, scratch)
                check_missing_fonts(target, scratch)
            else:
                check_tool(target, scratch)
        except Failure as failure:
            print("FAIL: %s" % failure)
            sys.exit(1)
    print("PASS")


if __name__ == "__main__":
    main()

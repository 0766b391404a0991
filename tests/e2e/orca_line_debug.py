#!/usr/bin/env python3
"""Runs the installed Orca with its debug file written a line at a time.

Orca opens the file given by --debug-file with Python's default buffering, so its
last few kilobytes wait for the next block; a test that waits for an utterance
would then wait for the next event. This opens that one file line-buffered and
otherwise runs /usr/bin/orca unchanged, with the same arguments, except that it
waits up to 10 s rather than 0.8 s for a program to answer over AT-SPI before
taking it for hung: on a test machine shared with builds an answer can be late.

Usage: orca_line_debug.py <orca's arguments, --debug-file FILE among them>
"""

import builtins
import runpy
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

ORCA = "/usr/bin/orca"


def main():
    debug_file = sys.argv[sys.argv.index("--debug-file") + 1]
    plain_open = builtins.open

    def open_line_buffered(file, mode="r", buffering=-1, *args, **kwargs):
        if file == debug_file and "w" in mode:
            buffering = 1
        return plain_open(file, mode, buffering, *args, **kwargs)

    builtins.open = open_line_buffered
    Atspi.set_timeout(10000, 15000)
    sys.argv[0] = ORCA
    runpy.run_path(ORCA, run_name="__main__")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Runs the installed Orca with its debug file written a line at a time.

Orca opens the file given by --debug-file with Python's default buffering, so its
last few kilobytes wait for the next block; a test that waits for an utterance
would then wait for the next event. This opens that one file line-buffered and
otherwise runs /usr/bin/orca unchanged, with the same arguments.

Usage: orca_line_debug.py <orca's arguments, --debug-file FILE among them>
"""

import builtins
import runpy
import sys

ORCA = "/usr/bin/orca"


def main():
    debug_file = sys.argv[sys.argv.index("--debug-file") + 1]
    plain_open = builtins.open

    def open_line_buffered(file, mode="r", buffering=-1, *args, **kwargs):
        if file == debug_file and "w" in mode:
            buffering = 1
        return plain_open(file, mode, buffering, *args, **kwargs)

    builtins.open = open_line_buffered
    sys.argv[0] = ORCA
    runpy.run_path(ORCA, run_name="__main__")


if __name__ == "__main__":
    main()

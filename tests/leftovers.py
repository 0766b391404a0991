#!/usr/bin/env python3
"""Nothing the tests and benchmarks make outlives the suite.

before TMPDIR RUNTIME LIST FIXED...: makes the suite's TMPDIR (empty) and runtime folder
    (0700), and lists what /tmp holds now.
after TMPDIR RUNTIME LIST FIXED...: fails when TMPDIR holds anything, or a FIXED path
    (what the suite makes in /tmp itself, whatever TMPDIR says) is left; removes them
    and the runtime folder, so the next run starts clean. Entries new in /tmp under the
    names our programs use are listed but not judged: on a shared machine another
    run may have made them.
"""

import os
import shutil
import sys

# What the program, its tools, the toolkit and the tests name what they make in /tmp.
OURS = ("nihonshib", "runtime-", "tst_", "bench", "rtf-to-text", "xvfb-run")


def entries(folder):
    try:
        return sorted(os.listdir(folder))
    except FileNotFoundError:
        return []


def remove(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path, ignore_errors=True)
    else:
        os.remove(path)


def main():
    if len(sys.argv) < 5 or sys.argv[1] not in ("before", "after"):
        sys.exit(__doc__)
    when, tmp, runtime, listing = sys.argv[1:5]
    fixed = sys.argv[5:]
    if when == "before":
        shutil.rmtree(tmp, ignore_errors=True)
        shutil.rmtree(runtime, ignore_errors=True)
        os.makedirs(tmp)
        os.makedirs(runtime, mode=0o700)
        os.chmod(runtime, 0o700)
        with open(listing, "w") as f:
            f.write("\n".join(entries("/tmp")))
        return
    with open(listing) as f:
        before = set(f.read().split("\n"))
    for name in entries("/tmp"):
        if name not in before and name.startswith(OURS) and "/tmp/" + name not in fixed:
            print("new in /tmp, not judged: /tmp/" + name)
    left = [os.path.join(tmp, name) for name in entries(tmp)] + [path for path in fixed if os.path.lexists(path)]
    for path in left:
        print("left behind: " + path)
        remove(path)
    shutil.rmtree(runtime, ignore_errors=True)
    if left:
        sys.exit(1)
    print("nothing left behind in %s or /tmp" % tmp)


if __name__ == "__main__":
    main()

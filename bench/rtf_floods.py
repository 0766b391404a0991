#!/usr/bin/env python3
"""rtf-to-text on hostile documents: time and peak memory of each.

usage: bench/rtf_floods.py RTF_TO_TEXT [--quick]

Writes each document into a scratch folder, runs the tool on it once and prints
`rtf-flood name=... bytes=... seconds=... cpu_seconds=... max_rss_kib=... status=...`.
The target for every input the tool accepts (at most 64 MiB) is 30 s and 1 GiB.
--quick makes the big ones 4 MiB, to try the script out.
"""

import os
import random
import resource
import subprocess
import sys
import tempfile
import time

LIMIT = 64 * 1024 * 1024


def font_flood():
    """20,000 font names in the table and 200,000 switches between them."""
    parts = [b"{\\rtf1\\ansi\\ansicpg932{\\fonttbl"]
    parts += [b"{\\f%d\\fnil Font%05d;}" % (i, i) for i in range(20000)]
    parts.append(b"}")
    rng = random.Random(1)
    parts += [b"\\f%d x" % rng.randrange(20000) for _ in range(200000)]
    parts.append(b"}")
    return b"".join(parts)


def installed_font_flood():
    """As above, cycling through the installed families, with sizes changing too."""
    families = sorted({line.split(b",")[0].strip() for line in
                       subprocess.run(["fc-list", ":", "family"], capture_output=True).stdout.splitlines()
                       if line.strip()}) or [b"serif"]
    parts = [b"{\\rtf1\\ansi\\ansicpg932{\\fonttbl"]
    parts += [b"{\\f%d\\fnil %s;}" % (i, families[i % len(families)]) for i in range(20000)]
    parts.append(b"}")
    rng = random.Random(1)
    parts += [b"\\f%d\\fs%d x" % (rng.randrange(20000), 20 + rng.randrange(4)) for _ in range(200000)]
    parts.append(b"}")
    return b"".join(parts)


def repeated(unit, size):
    return b"{\\rtf1 " + unit * ((size - 16) // len(unit)) + b"}"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    tool = os.path.abspath(sys.argv[1])
    size = 4 * 1024 * 1024 if "--quick" in sys.argv[2:] else LIMIT
    floods = [
        ("fonts", font_flood),
        ("installed-fonts", installed_font_flood),
        ("paragraphs", lambda: repeated(b"\\par", size)),
        ("groups", lambda: repeated(b"{}", size)),
        ("nesting", lambda: repeated(b"{", size)),
        ("formatted-groups", lambda: repeated(b"{\\b x}y", size)),
        ("tabs", lambda: repeated(b"\\tab", size)),
        ("unicode-escapes", lambda: repeated(b"\\u26085?", size)),
        ("double-byte-escapes", lambda: repeated(b"\\'93\\'fa", size)),
        ("plain-text", lambda: repeated(b"abcdefgh", size)),
    ]
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    with tempfile.TemporaryDirectory(prefix="nihonshib-floods-") as scratch:
        for name, make in floods:
            path = os.path.join(scratch, name + ".rtf")
            with open(path, "wb") as f:
                f.write(make())
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.monotonic()
            # The peak memory of this run alone comes from its own /usr/bin/time.
            result = subprocess.run(["/usr/bin/time", "-f", "%M", tool, path], env=env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            seconds = time.monotonic() - start
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
            max_rss = result.stderr.strip().splitlines()[-1]
            print("rtf-flood name=%s bytes=%d seconds=%.2f cpu_seconds=%.2f max_rss_kib=%s status=%d"
                  % (name, os.path.getsize(path), seconds, cpu, max_rss, result.returncode), flush=True)
            os.remove(path)
    print("rtf-flood load_average=%.2f" % os.getloadavg()[0])


if __name__ == "__main__":
    main()

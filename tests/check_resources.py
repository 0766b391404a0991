#!/usr/bin/env python3
"""The committed resources are what their sources under tools/ make.

Regenerates the documents, pictures, icons and sound with tools/regenerate-resources.sh
into a temporary folder and compares them byte for byte with resources/, so a source
edited without its resource regenerated fails, and so does a resource no generator makes.

Usage: check_resources.py SOURCE_DIR
"""
import filecmp
import subprocess
import sys
import tempfile
from pathlib import Path

# What resources/ holds besides the generated files: the build's own.
NOT_GENERATED = {"CMakeLists.txt", "predecode.cpp"}


def main() -> int:
    source = Path(sys.argv[1]).resolve()
    committed = source / "resources"
    with tempfile.TemporaryDirectory() as scratch:
        made = Path(scratch)
        result = subprocess.run([str(source / "tools" / "regenerate-resources.sh"), str(made)],
                                capture_output=True, text=True, timeout=240)
        if result.returncode != 0:
            print(f"tools/regenerate-resources.sh failed:\n{result.stdout}{result.stderr}")
            return 1
        names = {path.relative_to(made) for path in made.rglob("*") if path.is_file()}
        faults = [f"resources/{name}: not what tools/regenerate-resources.sh makes of its source"
                  for name in sorted(names)
                  if not (committed / name).is_file() or not filecmp.cmp(made / name, committed / name, shallow=False)]
    faults += [f"resources/{name}: no generator under tools/ makes it"
               for name in sorted(path.relative_to(committed) for path in committed.rglob("*") if path.is_file())
               if name not in names and name.name not in NOT_GENERATED]
    for fault in faults:
        print(fault)
    print(f"{len(names)} files regenerated, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

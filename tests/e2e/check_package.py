#!/usr/bin/env python3
"""The installed layout, both from `cmake --install` and from the Debian package.

Installs the build into a scratch prefix, builds the .deb with CPack into a scratch
folder, unpacks it into a scratch root, and checks what a user's system would get:
the program and its sound together in lib/nihonshib, the command on PATH, the menu
entry, the icon at every size, and a Depends line that brings Qt and the fonts.

Usage: check_package.py <build folder> <source folder>
"""

import configparser
import os
import shutil
import struct
import subprocess
import sys
import tempfile

ICON_SIZES = (16, 32, 48, 256)
WANTED_DEPENDS = ("libqt6widgets6", "libqt6gui6", "libqt6core6", "libqt6multimedia6", "qt6-qpa-plugins",
                  "fonts-ipafont-gothic", "fonts-ipafont-mincho")
ELF_MAGIC = b"\x7fELF"


class Failure(Exception):
    pass


def run(args, **kwargs):
    result = subprocess.run(args, capture_output=True, text=True, timeout=120, **kwargs)
    if result.returncode != 0:
        raise Failure("%s failed (%d):\n%s%s" % (" ".join(args), result.returncode, result.stdout, result.stderr))
    return result.stdout


def same_bytes(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def png_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    if header[:8] != b"\x89PNG\r\n\x1a\n" or header[12:16] != b"IHDR":
        raise Failure("%s is not a PNG image" % path)
    return struct.unpack(">II", header[16:24])


def check_desktop_entry(path):
    entry = configparser.RawConfigParser(interpolation=None, strict=True)
    entry.optionxform = str
    with open(path, encoding="utf-8") as f:
        entry.read_file(f)
    fields = entry["Desktop Entry"]
    wanted = {
        "Type": "Application",
        "Name": "Japanese History B practice exam",
        "Name[ja]": "日本史B 模擬試験",
        "Exec": "nihonshib",
        "Icon": "nihonshib",
        "Categories": "Education;",
        "Terminal": "false",
    }
    for key, value in wanted.items():
        if fields.get(key) != value:
            raise Failure("%s: %s is %r, not %r" % (path, key, fields.get(key), value))
    for key in ("Comment", "Comment[ja]"):
        if not fields.get(key):
            raise Failure("%s has no %s" % (path, key))
    if shutil.which("desktop-file-validate"):
        run(["desktop-file-validate", path])
    else:
        print("desktop-file-validate not installed; checked the fields only")


def check_layout(prefix, source_dir, what):
    """What every install must hold, under prefix (/usr in the package)."""
    program_dir = os.path.join(prefix, "lib", "nihonshib")
    program = os.path.join(program_dir, "nihonshib")
    with open(program, "rb") as f:
        if f.read(4) != ELF_MAGIC:
            raise Failure("%s: %s is not an executable" % (what, program))
    if not os.access(program, os.X_OK):
        raise Failure("%s: %s may not be run" % (what, program))
    sound = os.path.join(program_dir, "Zikan.wav")
    if not same_bytes(sound, os.path.join(source_dir, "resources", "Zikan.wav")):
        raise Failure("%s: Zikan.wav beside the program differs from the one in resources/" % what)

    launcher = os.path.join(prefix, "bin", "nihonshib")
    if os.path.islink(launcher):
        target = os.readlink(launcher)
        if os.path.isabs(target):
            raise Failure("%s: bin/nihonshib points at %s, which only works in one place" % (what, target))
        if os.path.realpath(launcher) != os.path.realpath(program):
            raise Failure("%s: bin/nihonshib leads to %s, not the program" % (what, os.path.realpath(launcher)))
    else:
        with open(launcher, encoding="utf-8") as f:
            if "lib/nihonshib/nihonshib" not in f.read() or not os.access(launcher, os.X_OK):
                raise Failure("%s: bin/nihonshib does not start lib/nihonshib/nihonshib" % what)

    check_desktop_entry(os.path.join(prefix, "share", "applications", "nihonshib.desktop"))

    for size in ICON_SIZES:
        icon = os.path.join(prefix, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps", "nihonshib.png")
        if png_size(icon) != (size, size):
            raise Failure("%s: %s is %dx%d" % ((what, icon) + png_size(icon)))
        if not same_bytes(icon, os.path.join(source_dir, "resources", "icons", "app-%d.png" % size)):
            raise Failure("%s: %s is not resources/icons/app-%d.png" % (what, icon, size))
    print("%s: layout as expected" % what)


def package_names(depends):
    """The package names of a Depends line, alternatives included, versions dropped."""
    names = set()
    for clause in depends.split(","):
        for alternative in clause.split("|"):
            names.add(alternative.split("(")[0].strip())
    return names


def check_package(build_dir, source_dir, scratch):
    prefix = os.path.join(scratch, "prefix")
    run(["cmake", "--install", build_dir, "--prefix", prefix])
    check_layout(prefix, source_dir, "cmake --install")

    packages = os.path.join(scratch, "packages")
    run(["cpack", "-G", "DEB", "-B", packages, "--config", os.path.join(build_dir, "CPackConfig.cmake")],
        cwd=build_dir)
    debs = [name for name in os.listdir(packages) if name.endswith(".deb")]
    if len(debs) != 1:
        raise Failure("cpack made %s, not one .deb" % (debs or "nothing"))
    deb = os.path.join(packages, debs[0])
    architecture = run(["dpkg", "--print-architecture"]).strip()
    if debs[0] != "nihonshib_1.0.0_%s.deb" % architecture:
        raise Failure("the package is called %s" % debs[0])

    control = {}
    for field in ("Package", "Version", "Section", "Maintainer", "Depends", "Description", "Architecture"):
        control[field] = run(["dpkg-deb", "-f", deb, field]).strip()
    print("Depends: " + control["Depends"])
    expected = {"Package": "nihonshib", "Version": "1.0.0", "Section": "education", "Architecture": architecture}
    for field, value in expected.items():
        if control[field] != value:
            raise Failure("the package's %s is %r, not %r" % (field, control[field], value))
    if "<" not in control["Maintainer"] or not control["Maintainer"].endswith(">"):
        raise Failure("the Maintainer field %r lacks a name and address" % control["Maintainer"])
    missing = [name for name in WANTED_DEPENDS if name not in package_names(control["Depends"])]
    if missing:
        raise Failure("Depends lacks %s" % ", ".join(missing))
    description = control["Description"]
    if "Japanese History B" not in description or "日本史" not in description:
        raise Failure("the description is not in both English and Japanese:\n" + description)

    root = os.path.join(scratch, "root")
    run(["dpkg-deb", "-x", deb, root])
    paths = [line.split()[5] for line in run(["dpkg-deb", "-c", deb]).splitlines()]
    outside = [path for path in paths if path != "./" and not path.startswith("./usr/")]
    if outside:
        raise Failure("the package installs outside /usr:\n" + "\n".join(outside))
    check_layout(os.path.join(root, "usr"), source_dir, "package")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    build_dir = os.path.abspath(sys.argv[1])
    source_dir = os.path.abspath(sys.argv[2])
    missing = [tool for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps") if shutil.which(tool) is None]
    if missing:
        sys.exit("missing %s: run tools/install-deps.sh test" % ", ".join(missing))
    scratch = tempfile.mkdtemp(prefix="nihonshib-package-")
    try:
        check_package(build_dir, source_dir, scratch)
    except (Failure, OSError, KeyError, configparser.Error) as failure:
        print("FAIL: %s" % failure)
        sys.exit(1)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()

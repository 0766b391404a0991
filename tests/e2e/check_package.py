#!/usr/bin/env python3
"""The installed layout, both from `cmake --install` and from the Debian package.

Installs the build into a scratch prefix, builds the .deb with CPack into a scratch
folder, unpacks it into a scratch root, and checks what a user's system would get:
the program and its sound together in lib/nihonshib, the command on PATH, the menu
entry and its AppStream metadata under one ID, the icon at every size, the manual
pages in English and Japanese, the licence statement, and a Depends line that
brings Qt and the fonts. Then Debian's own judges have their say on the .deb:
lintian, appstreamcli and desktop-file-validate.

Usage: check_package.py <build folder> <source folder>
"""

import configparser
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

ICON_SIZES = (16, 32, 48, 256)
WANTED_DEPENDS = ("libqt6widgets6", "libqt6gui6", "libqt6core6", "libqt6multimedia6", "qt6-qpa-plugins",
                  "fonts-ipafont-gothic", "fonts-ipafont-mincho")
ELF_MAGIC = b"\x7fELF"
APP_ID = "invalid.nihonshib.nihonshib"
XML_LANG = "{http://www.w3.org/XML/1998/namespace}lang"
# What lintian may say about a maintainer address that is only a placeholder; the
# address is a build option (NIHONSHIB_MAINTAINER), set for real by whoever publishes.
ADDRESS_TAGS = {"bogus-mail-host", "bogus-mail-host-in-debian-changelog"}


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
    run(["desktop-file-validate", path])


def texts_by_language(component, tag):
    """{language: text} of a component's child elements; "" is the untranslated one."""
    return {element.get(XML_LANG, ""): "".join(element.itertext()).strip() for element in component.iter(tag)}


def check_metainfo(path):
    component = ElementTree.parse(path).getroot()
    if component.findtext("id") != APP_ID:
        raise Failure("%s: the ID is %r, not the desktop file's %r" % (path, component.findtext("id"), APP_ID))
    if component.findtext("launchable") != APP_ID + ".desktop":
        raise Failure("%s launches %r" % (path, component.findtext("launchable")))
    if component.findtext("project_license") != "MIT AND CC-BY-4.0":
        raise Failure("%s: the licence is %r" % (path, component.findtext("project_license")))
    if component.find("content_rating") is None:
        raise Failure("%s has no content rating" % path)
    names = texts_by_language(component, "name")
    if names != {"": "Japanese History B practice exam", "ja": "日本史B 模擬試験"}:
        raise Failure("%s: the names %s are not the menu entry's" % (path, names))
    for tag in ("summary", "p"):
        found = texts_by_language(component, tag)
        if not found.get("") or not found.get("ja"):
            raise Failure("%s: %s is not in both English and Japanese: %s" % (path, tag, found))


def check_manual_page(path, title):
    """A gzip -9n manual page in UTF-8, in its language, that man formats without a warning."""
    with open(path, "rb") as f:
        header = f.read(10)
    if header[:3] != b"\x1f\x8b\x08" or header[3] & 0x08 or header[4:8] != bytes(4) or header[8] != 2:
        raise Failure("%s is not compressed with gzip -9n" % path)
    with gzip.open(path) as f:
        page = f.read().decode("utf-8")
    if title not in page.split("\n.SH", 2)[1]:
        raise Failure("%s is not named %r" % (path, title))
    if "Zikan.wav" not in page or "/usr/lib/nihonshib/" not in page:
        raise Failure("%s does not name the time-up sound beside the program" % path)
    environment = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80")
    result = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", path], env=environment,
                            capture_output=True, timeout=60)
    if result.returncode != 0 or result.stderr:
        raise Failure("man formats %s with complaints:\n%s" % (path, result.stderr.decode("utf-8", "replace")))


def license_texts(copyright_text):
    """{short name: text} of the stand-alone License paragraphs of a DEP-5 file."""
    texts = {}
    for paragraph in copyright_text.split("\n\n"):
        lines = paragraph.split("\n")
        if lines[0].startswith("License:") and len(lines) > 1:
            texts[lines[0].split(":", 1)[1].strip()] = "\n".join(
                "" if line == " ." else line[1:] for line in lines[1:])
    return texts


def check_copyright(path, source_dir):
    """Debian's machine-readable copyright, saying what LICENSE says."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if not text.startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"):
        raise Failure("%s is not in the machine-readable format" % path)
    texts = license_texts(text)
    if sorted(texts) != ["CC-BY-4.0", "Expat"]:
        raise Failure("%s carries the licences %s" % (path, sorted(texts)))
    with open(os.path.join(source_dir, "LICENSE"), encoding="utf-8") as f:
        words_of_license = " ".join(f.read().split())
    for name, licence in texts.items():
        if " ".join(licence.split()) not in words_of_license:
            raise Failure("%s: the %s text differs from the one in LICENSE" % (path, name))


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

    check_desktop_entry(os.path.join(prefix, "share", "applications", APP_ID + ".desktop"))
    check_metainfo(os.path.join(prefix, "share", "metainfo", APP_ID + ".metainfo.xml"))
    for folder, title in (("man1", "Japanese History B practice exam"), (os.path.join("ja", "man1"), "日本史Bの模擬試験")):
        check_manual_page(os.path.join(prefix, "share", "man", folder, "nihonshib.1.gz"), title)
    check_copyright(os.path.join(prefix, "share", "doc", "nihonshib", "copyright"), source_dir)

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
    judge_package(deb, root, control["Maintainer"])


def judge_package(deb, root, maintainer):
    """lintian, appstreamcli and desktop-file-validate on what the package installs."""
    address = maintainer[maintainer.index("<") + 1:-1]
    output = run(["lintian", "--no-cfg", "--fail-on", "none", deb])
    print("lintian:\n" + (output or "(nothing to say)\n"), end="")
    complaints = [line for line in output.splitlines() if line[:2] in ("E:", "W:")
                  and not (line.split()[2] in ADDRESS_TAGS and address in line)]
    if complaints:
        raise Failure("lintian complains:\n" + "\n".join(complaints))
    metainfo = os.path.join(root, "usr", "share", "metainfo", APP_ID + ".metainfo.xml")
    print("appstreamcli:\n" + run(["appstreamcli", "validate", "--no-net", metainfo]), end="")
    run(["desktop-file-validate", os.path.join(root, "usr", "share", "applications", APP_ID + ".desktop")])


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    build_dir = os.path.abspath(sys.argv[1])
    source_dir = os.path.abspath(sys.argv[2])
    tools = ("cpack", "dpkg-deb", "dpkg-shlibdeps", "man", "lintian", "appstreamcli", "desktop-file-validate")
    missing = [tool for tool in tools if shutil.which(tool) is None]
    if missing:
        sys.exit("missing %s: run tools/install-deps.sh test" % ", ".join(missing))
    scratch = tempfile.mkdtemp(prefix="nihonshib-package-")
    try:
        check_package(build_dir, source_dir, scratch)
    except (Failure, OSError, KeyError, ValueError, configparser.Error, ElementTree.ParseError) as failure:
        print("FAIL: %s" % failure)
        sys.exit(1)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()

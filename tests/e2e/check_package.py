#!/usr/bin/env python3
"""The installed layout and the Debian packages.

layout: installs the given build into a scratch prefix, builds its .deb with CPack
into a scratch folder, unpacks it into a scratch root, and checks what a user's
system would get: the program, its sound and its sound module together in
lib/nihonshib (the module in modules/), with no RUNPATH, the sound libraries linked by the module alone, the
command on PATH, the menu entry and its AppStream metadata under one
ID, the icon at every size and as SVG, the manual pages in English and Japanese,
the licence statement, and a Depends line that brings Qt and the fonts. Debian's
own judges have their say on the .deb: lintian, appstreamcli and
desktop-file-validate. The unpacked program is started under its own Xvfb, and its
window must name the desktop file and its StartupWMClass. A release build is the
README's CPack route with Debian's flags, so its package is also held to what the
Debian route's is: every compile line of the program with dpkg-buildflags' flags (compile_commands.json),
hardening-check's verdicts, and lintian --pedantic.

builds: builds the tree with dpkg-buildpackage from two copies of the checkout in
folders of different names (so the checkout and its build folders stay as they
are), which must give byte-identical packages, the debug symbol package too. The
package's program and module must be hardened (hardening-check, and blhc on the
build log), stripped into nihonshib-dbgsym, xz-compressed, and clean under
lintian --pedantic but for the placeholder maintainer address. It builds the
program twice over, the two copies side by side (each build leaves a core idle for
part of its time), so it is the package step of the test command, run last.

Usage: check_package.py layout <build folder> <source folder>
       check_package.py builds <source folder>
"""

import concurrent.futures
import configparser
import gzip
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

from xsession import EXAM_TITLE, Screen, program_environment, start_xvfb, stop, wait_for_exam_window

ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
# How far the scalable icon, drawn at 256 pixels, may stray from the 256-pixel
# bitmap: anti-aliasing differs at the edges, the design must not.
SVG_MEAN_ALPHA_DIFFERENCE = 3.0
SVG_STRAY_PIXELS = 0.01
WANTED_DEPENDS = ("libqt6widgets6", "libqt6gui6", "libqt6core6", "libqt6multimedia6", "qt6-qpa-plugins",
                  "qt6-translations-l10n", "fonts-ipafont-gothic", "fonts-ipafont-mincho")
WANTED_RECOMMENDS = "qt6-wayland"
ELF_MAGIC = b"\x7fELF"
SOUND_MODULE = os.path.join("modules", "nihonshib-sound.so")
# Loaded by the sound module with the first sound file, never by the program at start.
SOUND_LIBRARIES = ("libQt6Multimedia.so", "libpulse.so", "libsndfile.so")
APP_ID = "invalid.nihonshib.nihonshib"
XML_LANG = "{http://www.w3.org/XML/1998/namespace}lang"
# What lintian may say about a maintainer address that is only a placeholder; the
# address is a build option (NIHONSHIB_MAINTAINER), set for real by whoever publishes.
ADDRESS_TAGS = {"bogus-mail-host", "bogus-mail-host-in-debian-changelog"}
# lintian's word (an informational tag) for the same case as FORTIFY_UNCHECKABLE below:
# built with _FORTIFY_SOURCE, no call left that needs a checked variant. The compile
# lines are checked for the flag instead.
FORTIFY_TAG = "hardening-no-fortify-functions"
VERSION = "1.0.0"
# What debian/rules asks of dpkg-buildflags, which the compile lines are checked against.
HARDENING = "hardening=+all"
HARDENING_PROPERTIES = ("Position Independent Executable", "Stack protected", "Fortify Source functions",
                        "Read-only relocations", "Immediate binding")
# hardening-check's verdict on a program built with _FORTIFY_SOURCE where no call
# has a size the compiler can check (Qt's and the C++ library's inline memcpy,
# memmove and memset): the compile lines are checked for the flag instead.
FORTIFY_UNCHECKABLE = "no, only unprotected functions found!"
# Its verdict on a library, which is position-independent code by nature.
PIE_OF_LIBRARY = "no, regular shared library (ignored)"
BUILD_TIMEOUT = 1200


class Failure(Exception):
    pass


def run(args, timeout=120, **kwargs):
    result = subprocess.run(args, capture_output=True, text=True, timeout=timeout, **kwargs)
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
    if not fields.get("StartupWMClass"):
        raise Failure("%s has no StartupWMClass" % path)
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


def time_up_sound_name(source_dir):
    """The time-up sound's file name, from the one place the build spells it."""
    with open(os.path.join(source_dir, "resources", "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"^set\(NIHONSHIB_SOUND_NAME (\S+) ", f.read(), re.M).group(1)


def check_manual_page(path, title, sound_name):
    """A gzip -9n manual page in UTF-8, in its language, that man formats without a warning."""
    with open(path, "rb") as f:
        header = f.read(10)
    if header[:3] != b"\x1f\x8b\x08" or header[3] & 0x08 or header[4:8] != bytes(4) or header[8] != 2:
        raise Failure("%s is not compressed with gzip -9n" % path)
    with gzip.open(path) as f:
        page = f.read().decode("utf-8")
    if title not in page.split("\n.SH", 2)[1]:
        raise Failure("%s is not named %r" % (path, title))
    if sound_name not in page or "/usr/lib/nihonshib/" not in page:
        raise Failure("%s does not name the time-up sound beside the program" % path)
    environment = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80")
    result = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", path], env=environment,
                            capture_output=True, timeout=60)
    if result.returncode != 0 or result.stderr:
        raise Failure("man formats %s with complaints:\n%s" % (path, result.stderr.decode("utf-8", "replace")))


def dep5_paragraphs(text):
    """The paragraphs of a DEP-5 file as ({field: first line}, [continuation lines of the last field])."""
    paragraphs = []
    for paragraph in text.strip("\n").split("\n\n"):
        fields = {}
        for line in paragraph.split("\n"):
            if line[:1] in (" ", "\t"):
                fields[name].append("" if line == " ." else line[1:])
            else:
                name, value = line.split(":", 1)
                fields[name] = [value.strip()]
        paragraphs.append(fields)
    return paragraphs


def license_sections(source_dir):
    """{short name: text} of the licence texts in LICENSE, which follow its statement
    between rules of dashes: MIT (after its title and copyright line), then CC BY 4.0."""
    with open(os.path.join(source_dir, "LICENSE"), encoding="utf-8") as f:
        sections = f.read().split("-" * 78 + "\n")
    if len(sections) != 3:
        raise Failure("LICENSE is not a statement followed by two licence texts")
    mit = sections[1].strip("\n").split("\n")
    if mit[0] != "MIT License" or not mit[2].startswith("Copyright"):
        raise Failure("LICENSE's second part is not the MIT licence")
    return {"Expat": "\n".join(mit[4:]), "CC-BY-4.0": sections[2]}


def check_copyright(path, source_dir, maintainer):
    """Debian's machine-readable copyright, saying what LICENSE says: each licence
    paragraph holds that licence's text and nothing else."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if not text.startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"):
        raise Failure("%s is not in the machine-readable format" % path)
    paragraphs = dep5_paragraphs(text)
    header = paragraphs[0]
    wanted = {"Upstream-Name": "nihonshib", "Upstream-Contact": maintainer}
    for field, value in wanted.items():
        if header.get(field, [None])[0] != value:
            raise Failure("%s: %s is %r, not %r" % (path, field, header.get(field, [None])[0], value))
    if not header.get("Source", [""])[0]:
        raise Failure("%s has no Source" % path)
    texts = {fields["License"][0]: "\n".join(fields["License"][1:]) for fields in paragraphs
             if "License" in fields and "Files" not in fields}
    sections = license_sections(source_dir)
    if sorted(texts) != sorted(sections):
        raise Failure("%s carries the licences %s" % (path, sorted(texts)))
    for name, licence in texts.items():
        if licence.split() != sections[name].split():
            raise Failure("%s: the %s paragraph is not the licence text of LICENSE" % (path, name))


def elf_facts(program):
    """(dynamic section, section headers, notes) of an ELF file, as readelf prints them."""
    environment = dict(os.environ, LC_ALL="C")
    return tuple(run(["readelf", flag, "-W", program], env=environment) for flag in ("-d", "-S", "-n"))


def build_id(program):
    notes = elf_facts(program)[2]
    for line in notes.splitlines():
        if "Build ID:" in line:
            return line.split("Build ID:")[1].strip()
    raise Failure("%s has no Build-ID" % program)


def needed_libraries(program):
    return [line.split("[", 1)[1].rstrip("]") for line in elf_facts(program)[0].splitlines() if "(NEEDED)" in line]


def check_program_file(program, what):
    """The installed program or module: found through the system's library path only,
    and without the compilers' version strings."""
    dynamic, sections, _ = elf_facts(program)
    for tag in ("(RPATH)", "(RUNPATH)"):
        if tag in dynamic:
            raise Failure("%s: the program has a %s: %s" % (what, tag.strip("()"), [
                line.strip() for line in dynamic.splitlines() if tag in line]))
    if " .comment " in sections:
        raise Failure("%s: the program keeps its .comment section" % what)


def alpha_of_png(path, size):
    """The alpha channel of a PNG, through ImageMagick."""
    raw = subprocess.run(["convert", path, "-alpha", "extract", "-depth", "8", "gray:-"], capture_output=True,
                         check=True, timeout=60).stdout
    if len(raw) != size * size:
        raise Failure("%s is not %d pixels square" % (path, size))
    return raw


def check_scalable_icon(svg, bitmap, scratch):
    """The SVG, drawn at 256 pixels, is the 256-pixel icon but for anti-aliasing."""
    drawn = os.path.join(scratch, "icon-from-svg.png")
    run(["rsvg-convert", "-w", "256", "-h", "256", "-o", drawn, svg])
    ours, theirs = alpha_of_png(drawn, 256), alpha_of_png(bitmap, 256)
    differences = [abs(a - b) for a, b in zip(ours, theirs)]
    mean = sum(differences) / len(differences)
    stray = sum(1 for d in differences if d > 64) / len(differences)
    print("scalable icon: mean alpha difference %.2f, %.2f %% of pixels stray" % (mean, 100 * stray))
    if mean > SVG_MEAN_ALPHA_DIFFERENCE or stray > SVG_STRAY_PIXELS:
        raise Failure("%s, drawn at 256 pixels, is not the 256-pixel icon (mean alpha difference %.2f, "
                      "%.2f %% of pixels stray)" % (svg, mean, 100 * stray))


def check_layout(prefix, source_dir, maintainer, what, scratch):
    """What every install must hold, under prefix (/usr in the package)."""
    program_dir = os.path.join(prefix, "lib", "nihonshib")
    program = os.path.join(program_dir, "nihonshib")
    with open(program, "rb") as f:
        if f.read(4) != ELF_MAGIC:
            raise Failure("%s: %s is not an executable" % (what, program))
    if not os.access(program, os.X_OK):
        raise Failure("%s: %s may not be run" % (what, program))
    check_program_file(program, what)
    module = os.path.join(program_dir, SOUND_MODULE)
    with open(module, "rb") as f:
        if f.read(4) != ELF_MAGIC:
            raise Failure("%s: %s is not a library" % (what, module))
    check_program_file(module, what)
    for library in SOUND_LIBRARIES:
        if not any(name.startswith(library) for name in needed_libraries(module)):
            raise Failure("%s: the sound module does not link %s" % (what, library))
        if any(name.startswith(library) for name in needed_libraries(program)):
            raise Failure("%s: the program links %s, which only its sound module should" % (what, library))
    sound_name = time_up_sound_name(source_dir)
    if not same_bytes(os.path.join(program_dir, sound_name), os.path.join(source_dir, "resources", sound_name)):
        raise Failure("%s: %s beside the program differs from the one in resources/" % (what, sound_name))

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
        check_manual_page(os.path.join(prefix, "share", "man", folder, "nihonshib.1.gz"), title, sound_name)
    check_copyright(os.path.join(prefix, "share", "doc", "nihonshib", "copyright"), source_dir, maintainer)

    for size in ICON_SIZES:
        icon = os.path.join(prefix, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps", "nihonshib.png")
        if png_size(icon) != (size, size):
            raise Failure("%s: %s is %dx%d" % ((what, icon) + png_size(icon)))
        if not same_bytes(icon, os.path.join(source_dir, "resources", "icons", "app-%d.png" % size)):
            raise Failure("%s: %s is not resources/icons/app-%d.png" % (what, icon, size))
    svg = os.path.join(prefix, "share", "icons", "hicolor", "scalable", "apps", "nihonshib.svg")
    if not same_bytes(svg, os.path.join(source_dir, "resources", "icons", "app.svg")):
        raise Failure("%s: %s is not resources/icons/app.svg" % (what, svg))
    check_scalable_icon(svg, os.path.join(source_dir, "resources", "icons", "app-256.png"), scratch)
    print("%s: layout as expected" % what)


def package_names(depends):
    """The package names of a Depends line, alternatives included, versions dropped."""
    names = set()
    for clause in depends.split(","):
        for alternative in clause.split("|"):
            names.add(alternative.split("(")[0].strip())
    return names


def ar_members(path):
    """The member names of an ar archive, as a .deb is."""
    members = []
    with open(path, "rb") as f:
        if f.read(8) != b"!<arch>\n":
            raise Failure("%s is not an ar archive" % path)
        while True:
            header = f.read(60)
            if len(header) < 60:
                return members
            members.append(header[:16].decode("ascii").strip().rstrip("/"))
            size = int(header[48:58])
            f.seek(size + size % 2, 1)


def control_fields(deb):
    return dict(line.split(": ", 1) for line in run(["dpkg-deb", "-f", deb]).splitlines()
                if ": " in line and not line.startswith(" "))


def check_control(deb, architecture):
    """The binary package's control fields; returns its Maintainer."""
    control = control_fields(deb)
    print("Depends: " + control.get("Depends", ""))
    expected = {"Package": "nihonshib", "Version": VERSION, "Section": "education", "Architecture": architecture}
    for field, value in expected.items():
        if control.get(field) != value:
            raise Failure("the package's %s is %r, not %r" % (field, control.get(field), value))
    maintainer = control.get("Maintainer", "")
    if "<" not in maintainer or not maintainer.endswith(">"):
        raise Failure("the Maintainer field %r lacks a name and address" % maintainer)
    missing = [name for name in WANTED_DEPENDS if name not in package_names(control.get("Depends", ""))]
    if missing:
        raise Failure("Depends lacks %s" % ", ".join(missing))
    if control.get("Recommends") != WANTED_RECOMMENDS:
        raise Failure("the package recommends %r, not %r" % (control.get("Recommends"), WANTED_RECOMMENDS))
    description = run(["dpkg-deb", "-f", deb, "Description"])
    if "Japanese History B" not in description or "日本史" not in description:
        raise Failure("the description is not in both English and Japanese:\n" + description)
    if "data.tar.xz" not in ar_members(deb):
        raise Failure("%s is not compressed with xz: %s" % (os.path.basename(deb), ar_members(deb)))
    return maintainer


def unpack(deb, root):
    run(["dpkg-deb", "-x", deb, root])
    paths = [line.split()[5] for line in run(["dpkg-deb", "-c", deb]).splitlines()]
    outside = [path for path in paths if path != "./" and not path.startswith("./usr/")]
    if outside:
        raise Failure("%s installs outside /usr:\n%s" % (os.path.basename(deb), "\n".join(outside)))


def check_stripped(program, what):
    sections = elf_facts(program)[1]
    if " .debug_info " in sections or " .symtab " in sections:
        raise Failure("%s: the program is not stripped" % what)


def check_debug_symbols(ddeb, program, scratch):
    """The -dbgsym package holds the program's debug symbols under its Build-ID."""
    control = control_fields(ddeb)
    if control.get("Package") != "nihonshib-dbgsym" or not control.get("Depends", "").startswith("nihonshib (="):
        raise Failure("%s is not nihonshib's debug symbol package: %s" % (os.path.basename(ddeb), control))
    root = os.path.join(scratch, "dbgsym")
    run(["dpkg-deb", "-x", ddeb, root])
    identity = build_id(program)
    symbols = os.path.join(root, "usr", "lib", "debug", ".build-id", identity[:2], identity[2:] + ".debug")
    if not os.path.isfile(symbols) or " .debug_info " not in elf_facts(symbols)[1]:
        raise Failure("%s holds no debug information for Build-ID %s" % (os.path.basename(ddeb), identity))


def lintian_complaints(packages, maintainer, pedantic):
    """What lintian says about packages built together, less the placeholder address;
    at the default level only errors and warnings count, with --pedantic every tag."""
    address = maintainer[maintainer.index("<") + 1:-1]
    args = ["lintian", "--no-cfg", "--fail-on", "none"]
    if pedantic:
        args += ["--pedantic", "--display-info"]
    # Together, so that lintian sees the debug symbol package's documentation link
    # to the package it belongs to.
    output = run(args + packages, timeout=300)
    print("lintian%s %s:\n%s" % (" --pedantic" if pedantic else "", " ".join(map(os.path.basename, packages)),
                                  output or "(nothing to say)\n"), end="")
    counted = ("E:", "W:", "I:", "P:", "X:") if pedantic else ("E:", "W:")
    def excused(line):
        words = line.split()
        return len(words) > 2 and ((words[2] in ADDRESS_TAGS and address in line)
                                   or (words[0] == "I:" and words[2] == FORTIFY_TAG))
    return [line for line in output.splitlines() if line[:2] in counted and not excused(line)]


def judge_package(deb, root, maintainer, pedantic=False, debug_package=None):
    """lintian, appstreamcli and desktop-file-validate on what the package installs."""
    complaints = lintian_complaints([deb] + ([debug_package] if debug_package else []), maintainer, pedantic)
    if complaints:
        raise Failure("lintian complains:\n" + "\n".join(complaints))
    metainfo = os.path.join(root, "usr", "share", "metainfo", APP_ID + ".metainfo.xml")
    print("appstreamcli:\n" + run(["appstreamcli", "validate", "--pedantic", "--no-net", metainfo]), end="")
    run(["desktop-file-validate", os.path.join(root, "usr", "share", "applications", APP_ID + ".desktop")])


def check_hardening(program, what):
    """hardening-check's verdicts on the program or the module."""
    # Its exit status also counts checks beyond Debian's defaults; the verdicts are read instead.
    output = subprocess.run(["hardening-check", program], capture_output=True, text=True, timeout=120,
                            env=dict(os.environ, LC_ALL="C")).stdout
    print("hardening-check (%s):\n%s" % (what, output), end="")
    verdicts = dict(line.strip().split(": ", 1) for line in output.splitlines()[1:] if ": " in line)
    for name in HARDENING_PROPERTIES:
        verdict = verdicts.get(name, "")
        if name == "Fortify Source functions" and verdict == FORTIFY_UNCHECKABLE:
            continue
        if name == "Position Independent Executable" and verdict == PIE_OF_LIBRARY:
            continue
        if not verdict.startswith("yes"):
            raise Failure("%s: hardening-check finds %s: %r" % (what, name, verdict))


def window_properties(program, scratch):
    """The X properties by which desktops match the running program's window to its
    desktop file, with the program started under its own Xvfb."""
    home = os.path.join(scratch, "home")
    runtime = os.path.join(scratch, "runtime")
    for folder in (home, runtime):
        os.makedirs(folder, mode=0o700, exist_ok=True)
    with open(os.path.join(scratch, "xvfb.log"), "w") as xvfb_log:
        xvfb, display = start_xvfb(xvfb_log)
    process = None
    try:
        screen = Screen(display, scratch)
        env = program_environment(display, HOME=home, XDG_RUNTIME_DIR=runtime,
                                  XDG_CACHE_HOME=os.path.join(home, ".cache"))
        with open(os.path.join(scratch, "program.log"), "w") as program_log:
            process = subprocess.Popen([program], cwd=home, env=env, stdout=program_log, stderr=program_log,
                                       start_new_session=True)
        window = wait_for_exam_window(screen, process)
        output = screen.run("xprop", "-id", str(window), "-notype",
                            "WM_CLASS", "_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE")
    finally:
        stop(process)
        stop(xvfb)
    print("xprop on %r:\n%s" % (EXAM_TITLE, output), end="")
    properties = {}
    for line in output.splitlines():
        if " = " in line:
            name, value = line.split(" = ", 1)
            properties[name.strip()] = [part.strip().strip('"') for part in value.split(",")]
    return properties


def check_window(program, prefix, scratch):
    """WM_CLASS is the desktop file's StartupWMClass, and the window names the
    desktop file's ID."""
    entry = configparser.RawConfigParser(interpolation=None, strict=True)
    entry.optionxform = str
    with open(os.path.join(prefix, "share", "applications", APP_ID + ".desktop"), encoding="utf-8") as f:
        entry.read_file(f)
    wm_class = entry["Desktop Entry"]["StartupWMClass"]
    properties = window_properties(program, scratch)
    if properties.get("WM_CLASS", [None, None])[1] != wm_class:
        raise Failure("the window's WM_CLASS is %s, not the desktop file's StartupWMClass %r"
                      % (properties.get("WM_CLASS"), wm_class))
    for name in ("_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE"):
        if properties.get(name) != [APP_ID]:
            raise Failure("the window's %s is %s, not the desktop file's ID %r" % (name, properties.get(name), APP_ID))


def check_layout_and_package(build_dir, source_dir, scratch):
    """The given build: installed with cmake --install, packaged with CPack, and run."""
    architecture = run(["dpkg", "--print-architecture"]).strip()
    packages = os.path.join(scratch, "packages")
    run(["cpack", "-G", "DEB", "-B", packages, "--config", os.path.join(build_dir, "CPackConfig.cmake")],
        cwd=build_dir, timeout=600)
    deb = cpack_output(packages, architecture)
    maintainer = check_control(deb, architecture)

    prefix = os.path.join(scratch, "prefix")
    run(["cmake", "--install", build_dir, "--prefix", prefix])
    check_layout(prefix, source_dir, maintainer, "cmake --install", scratch)

    root = os.path.join(scratch, "root")
    unpack(deb, root)
    check_layout(os.path.join(root, "usr"), source_dir, maintainer, "package", scratch)
    check_stripped(os.path.join(root, "usr", "lib", "nihonshib", "nihonshib"), "package")
    check_stripped(os.path.join(root, "usr", "lib", "nihonshib", SOUND_MODULE), "package")
    # A release build is the README's CPack route, with Debian's flags: held to what
    # the Debian route's package is.
    release = debian_flags_build(build_dir)
    if release:
        check_compile_flags(source_dir, build_dir)
        for binary in ("nihonshib", SOUND_MODULE):
            check_hardening(os.path.join(root, "usr", "lib", "nihonshib", binary), "CPack package")
    judge_package(deb, root, maintainer, pedantic=release)
    program = os.path.join(root, "usr", "lib", "nihonshib", "nihonshib")
    check_window(program, os.path.join(root, "usr"), scratch)


def debian_flags_build(build_dir):
    """Whether the build is compiled with dpkg-buildflags' flags (cmake/DebianBuildFlags.cmake)."""
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as f:
        cache = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line and line[:1] not in "#/")
    return (cache.get("CMAKE_BUILD_TYPE:STRING") == "Release" and cache.get("NIHONSHIB_DEBIAN_FLAGS:BOOL") == "ON"
            and "NOTFOUND" not in cache.get("NIHONSHIB_DPKG_BUILDFLAGS:FILEPATH", "NOTFOUND")
            and cache.get("NIHONSHIB_SANITIZE:BOOL") != "ON" and cache.get("NIHONSHIB_TSAN:BOOL") != "ON")


def cpack_output(folder, architecture):
    """The package CPack made in folder."""
    made = sorted(name for name in os.listdir(folder) if name.endswith((".deb", ".ddeb")))
    wanted = ["nihonshib_%s_%s.deb" % (VERSION, architecture)]
    if made != wanted:
        raise Failure("cpack made %s, not %s" % (made or "nothing", wanted))
    return os.path.join(folder, wanted[0])


# ---- The builds from copies of the checkout ------------------------------------

def checkout_files(source_dir):
    """The files of the checkout: what git tracks, with any changes not yet committed;
    without git, everything but build folders."""
    if os.path.isdir(os.path.join(source_dir, ".git")) or os.path.isfile(os.path.join(source_dir, ".git")):
        listed = run(["git", "-C", source_dir, "ls-files", "-z", "--cached", "--others", "--exclude-standard"])
        return sorted(path for path in set(listed.split("\0")) if path and os.path.lexists(
            os.path.join(source_dir, path)))
    files = []
    for root, dirs, names in os.walk(source_dir):
        dirs[:] = [d for d in dirs if d != ".git" and not d.startswith(("build", "obj-"))]
        files += [os.path.relpath(os.path.join(root, name), source_dir) for name in names]
    return sorted(files)


def copy_checkout(source_dir, files, destination):
    """A copy with fresh modification times, as a new clone would have."""
    for path in files:
        source = os.path.join(source_dir, path)
        target = os.path.join(destination, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if os.path.islink(source):
            os.symlink(os.readlink(source), target)
        else:
            shutil.copy(source, target)


def build_environment(**settings):
    # No compiler cache: a cached object from the first copy would hide a difference.
    env = dict(os.environ, CCACHE_DISABLE="1", **settings)
    for name in ("CFLAGS", "CXXFLAGS", "CPPFLAGS", "LDFLAGS", "MAKEFLAGS", "CMAKE_BUILD_PARALLEL_LEVEL"):
        env.pop(name, None)
    return env


def check_built_package(deb, architecture, source_dir, scratch, label, root_name, debug_package=None):
    """What every route's package is held to: its control fields, the installed layout,
    a hardened and stripped program, its debug symbols when a route makes them, and
    lintian's pedantic verdict."""
    maintainer = check_control(deb, architecture)
    root = os.path.join(scratch, root_name)
    unpack(deb, root)
    check_layout(os.path.join(root, "usr"), source_dir, maintainer, label, scratch)
    program = os.path.join(root, "usr", "lib", "nihonshib", "nihonshib")
    module = os.path.join(root, "usr", "lib", "nihonshib", SOUND_MODULE)
    for binary in (program, module):
        check_hardening(binary, label)
        check_stripped(binary, label)
    if debug_package:
        check_debug_symbols(debug_package, program, scratch)
    judge_package(deb, root, maintainer, pedantic=True, debug_package=debug_package)


PROGRAM_FOLDERS = ("app", "exam", "platform", "resources", "windows")


def program_file(path, tree, build):
    """Whether a compile line's file is the program's: a source in one of its folders,
    or a file generated for it in the build tree's counterpart."""
    for root in (build, tree):
        relative = os.path.relpath(path, root)
        if not relative.startswith(".."):
            return relative.split(os.sep)[0] in PROGRAM_FOLDERS
    return False


def check_compile_flags(tree, build):
    """Every compile line of the program carries Debian's flags, and none takes away its
    debug information or optimisation (as the tests' own lines take the first)."""
    env = dict(build_environment(), DEB_BUILD_MAINT_OPTIONS=HARDENING)
    wanted = (run(["dpkg-buildflags", "--get", "CPPFLAGS"], env=env, cwd=tree).split()
              + run(["dpkg-buildflags", "--get", "CXXFLAGS"], env=env, cwd=tree).split())
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        commands = [c for c in json.load(f) if program_file(c["file"], tree, build)]
    if not commands:
        raise Failure("no compile lines of the program in %s" % build)
    for command in commands:
        flags = command.get("command", " ".join(command.get("arguments", []))).split()
        missing = [flag for flag in wanted if flag not in flags]
        undone = [flag for flag in flags if flag in ("-g0", "-O0")]
        if missing:
            raise Failure("%s is compiled without %s" % (command["file"], " ".join(missing)))
        if undone:
            raise Failure("%s is compiled with %s" % (command["file"], " ".join(undone)))
    print("compile lines of the program: %d, each with %s" % (len(commands), " ".join(wanted)))


def first_difference(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        ours, theirs = fa.read(), fb.read()
    at = next((i for i, (x, y) in enumerate(zip(ours, theirs)) if x != y), min(len(ours), len(theirs)))
    return "%d and %d bytes, first difference at byte %d" % (len(ours), len(theirs), at)


def check_debian_texts(tree):
    """debian/changelog, debian/copyright and debian/control's Maintainer are what
    cmake/DebianFiles.cmake writes from packaging/, for the maintainer and source
    they name."""
    names = ("changelog", "copyright", "control")
    committed = {}
    for name in names:
        with open(os.path.join(tree, "debian", name), encoding="utf-8") as f:
            committed[name] = f.read()
    maintainer = dep5_paragraphs(committed["control"])[0]["Maintainer"][0]
    source = dep5_paragraphs(committed["copyright"])[0].get("Source", [""])[0]
    run(["cmake", "-DNIHONSHIB_MAINTAINER=" + maintainer, "-DNIHONSHIB_SOURCE=" + source,
         "-P", os.path.join(tree, "cmake", "DebianFiles.cmake")])
    for name in names:
        with open(os.path.join(tree, "debian", name), encoding="utf-8") as f:
            if f.read() != committed[name]:
                raise Failure("debian/%s is not what cmake -P cmake/DebianFiles.cmake writes from packaging/" % name)


def debian_build(source_dir, files, tree):
    """dpkg-buildpackage -us -uc -b in a copy at tree; its packages land beside the
    copy. Returns the package, its debug symbol package and the build log."""
    parent = os.path.dirname(tree)
    copy_checkout(source_dir, files, tree)
    check_debian_texts(tree)
    log_path = os.path.join(parent, "build.log")
    env = build_environment(DEB_BUILD_OPTIONS="parallel=2")
    env.pop("SOURCE_DATE_EPOCH", None)
    with open(log_path, "w") as build_log:
        result = subprocess.run(["dpkg-buildpackage", "-us", "-uc", "-b"], cwd=tree, env=env, stdout=build_log,
                                stderr=subprocess.STDOUT, timeout=BUILD_TIMEOUT)
    if result.returncode != 0:
        with open(log_path, encoding="utf-8", errors="replace") as f:
            raise Failure("dpkg-buildpackage failed (%d):\n%s" % (result.returncode, f.read()[-4000:]))
    architecture = run(["dpkg", "--print-architecture"]).strip()
    made = sorted(name for name in os.listdir(parent) if name.endswith((".deb", ".ddeb")))
    # debhelper names the debug symbol package .ddeb in its own folder, .deb beside the others.
    wanted = ["nihonshib-dbgsym_%s_%s.deb" % (VERSION, architecture), "nihonshib_%s_%s.deb" % (VERSION, architecture)]
    if made != wanted:
        raise Failure("dpkg-buildpackage made %s, not %s" % (made, wanted))
    ddeb, deb = (os.path.join(parent, name) for name in wanted)
    print("built %s" % tree)
    return deb, ddeb, log_path


def check_builds(source_dir, scratch):
    """Two copies in folders of different names, each built once with dpkg-buildpackage:
    the same bytes from both, then every check on the first. (The CPack route's package
    is checked on the release build itself, by the layout test.)"""
    architecture = run(["dpkg", "--print-architecture"]).strip()
    files = checkout_files(source_dir)
    trees = [os.path.join(scratch, "a", "nihonshib"), os.path.join(scratch, "second-clone", "src", "nihonshib-tree")]
    with concurrent.futures.ThreadPoolExecutor(max_workers=len(trees)) as builders:
        builds = [builders.submit(debian_build, source_dir, files, tree) for tree in trees]
        (deb, ddeb, log_path), second = (build.result() for build in builds)
    for ours, theirs in zip((deb, ddeb), second):
        if not same_bytes(ours, theirs):
            raise Failure("the clones at %s and %s give different packages: %s" % (
                trees[0], trees[1], first_difference(ours, theirs)))
        print("byte-identical from both clones: %s (%d bytes)" % (os.path.basename(ours), os.path.getsize(ours)))

    blhc = subprocess.run(["blhc", log_path], capture_output=True, text=True, timeout=120)
    print("blhc:\n" + (blhc.stdout + blhc.stderr or "(nothing to say)\n"), end="")
    if blhc.returncode != 0:
        raise Failure("blhc finds compile or link lines without Debian's flags")
    check_built_package(deb, architecture, source_dir, scratch, "dpkg-buildpackage package", "debian-root",
                        debug_package=ddeb)
    run_autopkgtest(deb, trees[0], scratch)


def installed_version(package):
    status = subprocess.run(["dpkg-query", "-W", "-f", "${db:Status-Status} ${Version}", package],
                            capture_output=True, text=True, timeout=60).stdout.split()
    return status[1] if status[:1] == ["installed"] else None


def run_autopkgtest(deb, tree, scratch):
    """debian/tests through autopkgtest's own runner on this machine (the null
    testbed), with the package installed from deb. A package that was not installed
    before is removed again; one that was is left replaced by the built one, and said so."""
    if os.geteuid() != 0:
        raise Failure("autopkgtest installs the package on this machine: run the package step as root")
    before = installed_version("nihonshib")
    output = os.path.join(scratch, "autopkgtest")
    # autopkgtest hands the built package to apt from a folder under this private scratch
    # folder, which apt's unprivileged download user cannot read: apt then fetches the
    # index as root and cannot read it back as that user. apt runs as root throughout here.
    apt_config = os.path.join(scratch, "apt.conf")
    with open(apt_config, "w", encoding="utf-8") as config:
        config.write('APT::Sandbox::User "root";\n')
    try:
        result = subprocess.run(["autopkgtest", "--output-dir", output, deb, tree + "/", "--", "null"],
                                capture_output=True, text=True, timeout=900,
                                env=dict(os.environ, APT_CONFIG=apt_config))
    finally:
        if before is None:
            run(["dpkg", "--purge", "nihonshib"], timeout=300)
    summary = os.path.join(output, "summary")
    summary_text = open(summary, encoding="utf-8").read() if os.path.exists(summary) else "(no summary)\n"
    print("autopkgtest:\n" + summary_text, end="")
    if result.returncode != 0:
        raise Failure("autopkgtest failed (%d):\n%s" % (result.returncode, (result.stdout + result.stderr)[-6000:]))
    if before is not None:
        print("nihonshib %s was installed before and is now the built one" % before)


LAYOUT_TOOLS = ("cpack", "dpkg-deb", "dpkg-shlibdeps", "dpkg-buildflags", "hardening-check", "man", "lintian",
                "appstreamcli", "desktop-file-validate",
                "readelf", "rsvg-convert", "convert", "Xvfb", "xprop", "xdotool", "xwininfo")
BUILD_TOOLS = LAYOUT_TOOLS + ("cmake", "dpkg-buildpackage", "dh", "dpkg-checkbuilddeps", "blhc", "autopkgtest")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "layout":
        tools = LAYOUT_TOOLS
        check = lambda scratch: check_layout_and_package(os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3]),
                                                         scratch)
    elif len(sys.argv) == 3 and sys.argv[1] == "builds":
        tools = BUILD_TOOLS
        check = lambda scratch: check_builds(os.path.abspath(sys.argv[2]), scratch)
    else:
        sys.exit(__doc__)
    missing = [tool for tool in tools if shutil.which(tool) is None]
    if missing:
        sys.exit("missing %s: run tools/install-deps.sh test" % ", ".join(missing))
    scratch = tempfile.mkdtemp(prefix="nihonshib-package-")
    # What the tools leave in TMPDIR (lintian its mldbm-elf-* folders) goes with the scratch folder.
    os.makedirs(os.path.join(scratch, "tmp"))
    os.environ["TMPDIR"] = os.path.join(scratch, "tmp")
    try:
        check(scratch)
    except (Failure, OSError, KeyError, ValueError, configparser.Error, ElementTree.ParseError,
            subprocess.SubprocessError) as failure:
        print("FAIL: %s" % failure)
        sys.exit(1)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The house rules the compiler does not check.

- Arrows only point down: app/ may use everything below it; windows/ may use exam/
  and platform/, never app/; exam/ uses no widget module and none of our folders but
  itself; each platform/ library uses none of ours but itself.
- Inside a folder too: a header never includes one above it, that is a header whose
  own file or source file leads back, through what they include, to the includer.
- exam/'s library links Qt Core only.
- C++ identifiers are ASCII: the exam's own Japanese names live in strings (object
  names, captions), where the everyday tools of a C++ code base expect them.

Usage: check_layering.py SOURCE_DIR EXAM_CORE_LINK_LIBRARIES
"""
import re
import sys
from pathlib import Path

LAYERS = ["app", "exam", "windows", "platform"]
# Which of our folders each layer may include from, besides itself.
ALLOWED = {
    "app": {"exam", "windows", "platform", "resources"},
    "windows": {"exam", "platform"},
    "exam": set(),
    "platform": set(),
}
WIDGET_HEADERS = re.compile(r"^(QtWidgets|QtGui|QtMultimedia|QtPrintSupport)/|^Q(Widget|Application|Gui|Painter|Pixmap|Image|"
                            r"Font|Color|Label|Window|MainWindow|Dialog|TextDocument|TextCursor|Palette|Screen|"
                            r"Accessible|Media|Audio|Print)")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def layer_of(path: Path, source: Path) -> str:
    parts = path.relative_to(source).parts
    if parts[0] == "platform" and len(parts) > 2:
        return "platform/" + parts[1]
    return parts[0]


def sources(source: Path, folders):
    for folder in folders:
        for path in sorted((source / folder).rglob("*")):
            if path.suffix in (".h", ".cpp") and path.is_file():
                yield path


def upward_header_includes(source: Path, headers: dict):
    """Header includes that point up: a.h including b.h where b.h or b.cpp leads back to a.

    A header and its source file are one unit; a unit uses what either includes."""
    def unit(path: Path) -> str:
        return path.with_suffix("").relative_to(source).as_posix()

    uses, header_includes = {}, []
    for path in sources(source, LAYERS):
        for bracket, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            target = headers.get(Path(name).name) if bracket == '"' else None
            if target and unit(target) != unit(path):
                uses.setdefault(unit(path), set()).add(unit(target))
                if path.suffix == ".h":
                    header_includes.append((path, name, unit(target)))

    def leads_to(start: str, goal: str) -> bool:
        seen, stack = set(), [start]
        while stack:
            current = stack.pop()
            if current == goal:
                return True
            if current not in seen:
                seen.add(current)
                stack.extend(uses.get(current, ()))
        return False

    return [f"{path.relative_to(source)}: includes \"{name}\", and {target} leads back to {unit(path)}: "
            "one of these headers includes one above it"
            for path, name, target in header_includes if leads_to(target, unit(path))]


def strip_comments_and_literals(text: str) -> str:
    """The code with comments, string and character literals (raw strings too) blanked."""
    pattern = re.compile(r'//[^\n]*|/\*.*?\*/|R"([^(\s]*)\(.*?\)\1"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)
    return pattern.sub(lambda m: "\n" * m.group(0).count("\n"), text)


def main() -> int:
    source = Path(sys.argv[1]).resolve()
    exam_core_links = [lib for lib in sys.argv[2].split(";") if lib]

    # Each of our headers, by the bare name the includes use, and the layer it lives in.
    owner, headers = {}, {}
    for path in sources(source, LAYERS):
        if path.suffix == ".h":
            owner.setdefault(path.name, set()).add(layer_of(path, source))
            headers[path.name] = path

    faults = []
    for path in sources(source, LAYERS):
        layer = layer_of(path, source)
        top = layer.split("/")[0]
        for bracket, name in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if bracket == "<":
                if top == "exam" and WIDGET_HEADERS.search(name):
                    faults.append(f"{path.relative_to(source)}: exam/ includes the widget header <{name}>")
                continue
            base = Path(name).name
            if base.endswith(".moc") or base.startswith("ui_"):
                continue
            for target in owner.get(base, ()):
                target_top = target.split("/")[0]
                if target == layer or (target_top == top and top != "platform"):
                    continue
                if target_top not in ALLOWED[top]:
                    faults.append(f"{path.relative_to(source)}: {layer}/ includes \"{name}\" from {target}/")

    faults += upward_header_includes(source, headers)

    if exam_core_links != ["Qt6::Core"]:
        faults.append(f"exam/'s library links {exam_core_links}, not Qt6::Core alone")

    identifier = re.compile(r"[A-Za-z_0-9]*[^\x00-\x7f\s][^\s(){}\[\];,.:<>=+\-*/&|!~^%?\"']*")
    for path in sources(source, LAYERS + ["tools", "bench", "tests"]):
        code = strip_comments_and_literals(path.read_text(encoding="utf-8"))
        for number, line in enumerate(code.splitlines(), 1):
            match = identifier.search(line)
            if match:
                faults.append(f"{path.relative_to(source)}:{number}: non-ASCII name {match.group(0)!r}")

    for fault in faults:
        print(fault)
    print(f"{len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

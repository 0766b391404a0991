#!/usr/bin/env python3
"""What a screen reader finds in the exam window, read over AT-SPI.

Run inside a private D-Bus session (dbus-run-session): starts the built program
under its own Xvfb with accessibility on, reads its accessibility tree with pyatspi
and checks the names, roles and descriptions a blind student depends on; presses
スタート, ticks 1A-問1 ④ and presses 得　点 through the accessibility actions, as a
screen reader's user would, and checks what the tree then says and that each change
was announced by an event, which is what makes a screen reader speak it.

Usage: accessibility_tree.py <program> <output folder>
"""

import os
import signal
import subprocess
import sys
import tempfile

import pyatspi
from gi.repository import GLib

from xsession import EXAM_TITLE, Failure, log, on_deadline, start_xvfb, stop, wait_for

# The answer sheet's 36 tabs, a few of them by name: the first of each row, the last.
ANSWER_TABS = {0: "1A-問1", 12: "3A-問1", 24: "5A-問1", 35: "6B-問4"}
# What the description of 図１ must tell: the series, values of some years, source and note.
FIGURE_FACTS = ("官設（国有）鉄道", "民営鉄道", "1872年度 官設29、民営0", "1892年度 官設885、民営2,124",
                "1910年度 官設7,800、民営800", "日本国有鉄道『日本国有鉄道百年史』", "1907年・1910年は概数")


NAME_CHANGED = "object:property-change:accessible-name"
DESCRIPTION_CHANGED = "object:property-change:accessible-description"
heard = []


def listen(event):
    # What the changed object says when the event comes in, as a screen reader reads it.
    kind = str(event.type)
    source = event.source
    heard.append((kind, source.description if kind == DESCRIPTION_CHANGED else source.name))


def announced(kind, value):
    """Whether the program has sent the event; delivers the events that have come in."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)
    return (kind, value) in heard


def expect(condition, message):
    if not condition:
        raise Failure(message)


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def find_all(node, role, name=None, found=None):
    found = [] if found is None else found
    if node.getRole() == role and (name is None or node.name == name):
        found.append(node)
    for child in children(node):
        if child is not None:
            find_all(child, role, name, found)
    return found


def find(node, role, name):
    matches = find_all(node, role, name)
    expect(len(matches) == 1, "%d nodes %s named %r, expected one" % (len(matches), role, name))
    return matches[0]


def press(node):
    action = node.queryAction()
    expect(action.nActions > 0, "%r has no action" % node.name)
    action.doAction(0)


def program_application():
    desktop = pyatspi.Registry.getDesktop(0)
    apps = [app for app in children(desktop) if app is not None and app.name == "nihonshib"]
    return apps[0] if apps else None


def check_tree(frame):
    booklet = find(frame, pyatspi.ROLE_PAGE_TAB_LIST, "問題と図")
    sheet = find(frame, pyatspi.ROLE_PAGE_TAB_LIST, "解答用紙")
    expect([tab.name for tab in find_all(booklet, pyatspi.ROLE_PAGE_TAB)] == ["問題", "図１"],
           "the booklet's tabs are not 問題, 図１")
    tabs = find_all(sheet, pyatspi.ROLE_PAGE_TAB)
    expect(len(tabs) == 36 and all(tabs[i].name == n for i, n in ANSWER_TABS.items()),
           "the answer sheet's tabs are not the 36 pages")
    expect(all(tab.description == "未解答" for tab in tabs), "an answer tab is not described as 未解答")
    find(frame, pyatspi.ROLE_CHECK_BOX, "1A-問1 ①")

    figure = find(frame, pyatspi.ROLE_IMAGE, "図１")
    for fact in FIGURE_FACTS:
        expect(fact in figure.description, "図１'s description lacks %r" % fact)

    texts = find_all(booklet, pyatspi.ROLE_TEXT)
    expect(len(texts) == 1, "the booklet is not one text")
    text = texts[0].queryText()
    content = text.getText(0, text.characterCount)
    log("booklet: %d characters readable" % text.characterCount)
    expect(text.characterCount > 10000 and "和同開珎" in content and "配点" in content,
           "the booklet's text is not readable through the text interface")
    return tabs[0], tabs[1]


def check_run(frame, first_tab, second_tab):
    find(frame, pyatspi.ROLE_LABEL, "残り時間 なし")
    press(find(frame, pyatspi.ROLE_PUSH_BUTTON, "スタート"))
    wait_for("残り時間 1:00 分 announced", lambda: announced(NAME_CHANGED, "残り時間 1:00 分"), 10)
    find(frame, pyatspi.ROLE_LABEL, "残り時間 1:00 分")

    press(find(frame, pyatspi.ROLE_CHECK_BOX, "1A-問1 ④"))
    wait_for("1A-問1's ④ announced", lambda: announced(DESCRIPTION_CHANGED, "④"), 10)
    first = find(frame, pyatspi.ROLE_CHECK_BOX, "1A-問1 ①")
    press(first)
    wait_for("1A-問1's ①④ announced", lambda: announced(DESCRIPTION_CHANGED, "①④"), 10)
    press(first)
    wait_for("1A-問1 described as ④ again", lambda: first_tab.description == "④", 10)
    expect(second_tab.description == "未解答", "1A-問2 is described as %r" % second_tab.description)

    press(find(frame, pyatspi.ROLE_PUSH_BUTTON, "得\u3000点"))
    wait_for("得点 3 点 announced", lambda: announced(NAME_CHANGED, "得点 3 点"), 10)
    find(frame, pyatspi.ROLE_LABEL, "得点 3 点")
    marks = [mark for mark in find_all(frame, pyatspi.ROLE_IMAGE, "正解")
             if mark.getState().contains(pyatspi.STATE_SHOWING)]
    expect(len(marks) == 1, "%d marks read 正解 on screen, expected 1" % len(marks))


def main():
    program, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    signal.signal(signal.SIGALRM, on_deadline)
    signal.signal(signal.SIGTERM, on_deadline)
    signal.alarm(110)
    with open(os.path.join(out_dir, "xvfb.log"), "w") as xvfb_log:
        xvfb, display = start_xvfb(xvfb_log)
    process = None
    pyatspi.Registry.registerEventListener(listen, NAME_CHANGED, DESCRIPTION_CHANGED)
    try:
        with tempfile.TemporaryDirectory(prefix="nihonshib-a11y-") as home, \
                open(os.path.join(out_dir, "program.log"), "w") as program_log:
            env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", HOME=home,
                       XDG_RUNTIME_DIR=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
            env.pop("XAUTHORITY", None)
            process = subprocess.Popen([program], cwd=home, env=env, stdout=program_log,
                                       stderr=program_log, start_new_session=True)
            app = wait_for("the program on the accessibility bus", program_application, 60)
            frame = wait_for("the exam window", lambda: find_all(app, pyatspi.ROLE_FRAME, EXAM_TITLE), 30)[0]
            check_run(frame, *check_tree(frame))
            expect(process.poll() is None, "the program ended during the checks")
        log("accessibility tree as expected")
        return 0
    except Failure as failure:
        log("FAILED: %s" % failure)
        return 1
    finally:
        signal.alarm(0)
        stop(process)
        stop(xvfb)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Turns a plain UTF-8 text file into one of the RTF documents the program shows.

    make_rtf.py --profile {booklet|table|help} SOURCE.txt OUTPUT.rtf

Every line of SOURCE is one paragraph; "%%" lines are comments; a TAB becomes
\\tab. In the booklet profile [[text]] is printed red and underlined. The RTF is
plain ASCII with every Japanese character written as its code page 932 bytes,
as a Japanese word processor saves it, so the program's reader sees the same
kind of file it would meet in the wild.
"""

import argparse
import re
import sys

ENCODING = "cp932"

# Control words are cut at a character boundary once a line of the RTF file
# grows past this; readers ignore the line breaks.
WRAP_COLUMN = 200

PROFILES = ("booklet", "table", "help")


class SourceError(Exception):
    pass


def hex_escape(text):
    """Code page 932 bytes of text as \\'hh escapes, ASCII left as it is."""
    return "".join(ch if ch.isascii() else
                   "".join("\\'%02x" % b for b in ch.encode(ENCODING))
                   for ch in text)


def header(profile):
    fonts = [
        "{\\f0\\fswiss MS Sans Serif;}",
        "{\\f1\\froman\\fcharset2 Symbol;}",
        "{\\f2\\fmodern\\fcharset128 %s;}" % hex_escape("ＭＳ ゴシック"),
        "{\\f3\\fmodern\\fcharset128 %s;}" % hex_escape("ＭＳ ゴシック"),
    ]
    if profile == "booklet":
        fonts += [
            "{\\f4\\froman\\fcharset128 %s;}" % hex_escape("平成明朝"),
            "{\\f5\\froman Times;}",
        ]
        colours = "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;}"
        paragraph = "\\pard\\plain\\f4\\fs16"
    else:
        colours = "{\\colortbl\\red0\\green0\\blue0;}"
        paragraph = "\\pard\\plain\\f3\\fs18"
    return [
        "{\\rtf1\\ansi\\ansicpg932\\deff0\\deftab720{\\fonttbl" + "".join(fonts) + "}",
        colours,
        "\\deflang1041" + paragraph,
    ]


def char_token(ch):
    if ch == "\t":
        return "\\tab "
    if ch in "\\{}":
        return "\\" + ch
    if " " <= ch <= "~":
        return ch
    if ord(ch) < 0x80:
        raise SourceError("control character U+%04X" % ord(ch))
    try:
        return hex_escape(ch)
    except UnicodeEncodeError:
        raise SourceError("%r (U+%04X) has no code page 932 form" % (ch, ord(ch)))


def booklet_font(ch):
    """5 (Times) for ASCII letters and digits, 4 (平成明朝) for Japanese,
    None where either will do (spaces, punctuation)."""
    if ch.isascii():
        return 5 if ch.isalnum() else None
    return 4


class Paragraph:
    """Collects the tokens of one paragraph, tracking the booklet's font and
    underline state so it only switches where something changes."""

    def __init__(self, profile, state):
        self.profile = profile
        self.state = state
        self.tokens = []

    def control(self, word):
        # The trailing space ends the control word whatever text follows it.
        self.tokens.append(word + " ")

    def text(self, run):
        for ch in run:
            if self.profile == "booklet":
                font = booklet_font(ch)
                if font is not None and font != self.state["font"]:
                    self.control("\\f%d" % font)
                    self.state["font"] = font
            self.tokens.append(char_token(ch))

    def marked(self, run):
        self.control("\\cf1\\ul")
        self.text(run)
        self.control("\\cf0\\ulnone")


MARK = re.compile(r"\[\[(.*?)\]\]")


def paragraph_tokens(line, profile, state):
    para = Paragraph(profile, state)
    if profile != "booklet":
        para.text(line)
        return para.tokens
    pos = 0
    for m in MARK.finditer(line):
        para.text(line[pos:m.start()])
        if not m.group(1):
            raise SourceError("empty [[ ]] mark")
        para.marked(m.group(1))
        pos = m.end()
    rest = line[pos:]
    if "[[" in rest or "]]" in rest:
        raise SourceError("unbalanced [[ ]] mark")
    para.text(rest)
    return para.tokens


def wrap(tokens):
    """Joins one paragraph's tokens into RTF lines, cutting only between
    characters so a double-byte character's two escapes stay together."""
    lines, current = [], ""
    for token in tokens:
        if current and len(current) + len(token) > WRAP_COLUMN:
            lines.append(current)
            current = ""
        current += token
    if len(current) + len("\\par") > WRAP_COLUMN:
        lines.append(current)
        current = ""
    lines.append(current + "\\par")
    return lines


def source_lines(text):
    lines = text.replace("\r\n", "\n").split("\n")
    # The newline that ends the last line does not start another paragraph.
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def convert(text, profile, source_name="<source>"):
    out = header(profile)
    state = {"font": 4}
    for number, line in enumerate(source_lines(text), start=1):
        if line.startswith("%%"):
            continue
        try:
            tokens = paragraph_tokens(line, profile, state)
        except SourceError as err:
            raise SourceError("%s:%d: %s" % (source_name, number, err)) from None
        out.extend(wrap(tokens))
    out.append("}")
    return "\n".join(out) + "\n"


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--profile", required=True, choices=PROFILES)
    parser.add_argument("source")
    parser.add_argument("output")
    args = parser.parse_args(argv)

    with open(args.source, encoding="utf-8-sig", newline="") as f:
        text = f.read()
    try:
        rtf = convert(text, args.profile, args.source)
    except SourceError as err:
        print("make_rtf.py: %s" % err, file=sys.stderr)
        return 1
    with open(args.output, "w", encoding="ascii", newline="\n") as f:
        f.write(rtf)
    return 0


if __name__ == "__main__":
    sys.exit(main())

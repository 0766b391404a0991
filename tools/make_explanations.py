#!/usr/bin/python3
"""Turns the explanations of the 36 questions into the resource the review window reads.

    make_explanations.py SOURCE.txt OUTPUT.tsv

SOURCE is UTF-8: lines starting with "#" are comments, "[n] ERA THEME" opens
the explanation of question n and tags it with an era and a theme, and the lines
after it up to the next "[n]" are joined with no separator (blank lines are
dropped). The blocks must be [1] to [36] in order, each 100 to 300 characters
long and each naming its keyed choice with a circled digit ("正解は④"). ERA is
one of 原始・古代 中世 近世 近代 現代, THEME one of 政治 外交 社会・経済 文化, and
every era and every theme must tag at least one question.

OUTPUT is UTF-8 with one line a question, "n<TAB>era<TAB>theme<TAB>text",
n = 1 to 36, read by exam/explanations.cpp. Running this again on the same
source gives the same bytes.
"""

import re
import sys

QUESTIONS = 36
SHORTEST = 100
LONGEST = 300
HEADER = re.compile(r"^\[(\d+)\](?: +(\S+) +(\S+))?$")
ERAS = ("原始・古代", "中世", "近世", "近代", "現代")
THEMES = ("政治", "外交", "社会・経済", "文化")
KEYED_CHOICE = re.compile("正解は[①②③④⑤⑥]")


class SourceError(Exception):
    pass


def read_blocks(lines):
    """The explanations in source order, as (question, era, theme, text) tuples."""
    blocks = []
    for number, raw in enumerate(lines, start=1):
        line = raw.strip()
        if line.startswith("#") or not line:
            continue
        header = HEADER.match(line)
        if header:
            blocks.append((int(header.group(1)), header.group(2), header.group(3), []))
        elif not blocks:
            raise SourceError("line %d: text before the first [n]" % number)
        else:
            blocks[-1][3].append(line)
    return [(question, era, theme, "".join(parts)) for question, era, theme, parts in blocks]


def check(blocks):
    numbers = [block[0] for block in blocks]
    if numbers != list(range(1, QUESTIONS + 1)):
        raise SourceError("the blocks must be [1] to [%d] in order; found %s" % (QUESTIONS, numbers))
    for question, era, theme, text in blocks:
        if era not in ERAS:
            raise SourceError("[%d] has era %r, not one of %s" % (question, era, " ".join(ERAS)))
        if theme not in THEMES:
            raise SourceError("[%d] has theme %r, not one of %s" % (question, theme, " ".join(THEMES)))
        if not SHORTEST <= len(text) <= LONGEST:
            raise SourceError("[%d] has %d characters, not %d to %d" % (question, len(text), SHORTEST, LONGEST))
        if "\t" in text:
            raise SourceError("[%d] holds a tab" % question)
        if not KEYED_CHOICE.search(text):
            raise SourceError("[%d] names no keyed choice (正解は① ... 正解は⑥)" % question)
    for tag, names in ((1, ERAS), (2, THEMES)):
        unused = [name for name in names if name not in {block[tag] for block in blocks}]
        if unused:
            raise SourceError("no question is tagged %s" % " ".join(unused))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, output = sys.argv[1:]
    with open(source, encoding="utf-8") as f:
        lines = f.read().splitlines()
    try:
        blocks = read_blocks(lines)
        check(blocks)
    except SourceError as error:
        sys.exit("%s: %s" % (source, error))
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        for question, era, theme, text in blocks:
            f.write("%d\t%s\t%s\t%s\n" % (question, era, theme, text))


if __name__ == "__main__":
    main()

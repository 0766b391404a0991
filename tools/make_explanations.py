#!/usr/bin/python3
"""Turns the explanations of the 36 questions into the resource the review window reads.

    make_explanations.py SOURCE.txt OUTPUT.tsv

SOURCE is UTF-8: lines starting with "#" are comments, "[n] ERA THEME" opens
question n's block and tags it with an era and a theme. Then come its study
point, "キーワード：..." and "ポイント：...", and one line a choice from ①,
"①○：reason" for the keyed choice and "①×：reason" for the others. The lines
after them up to the next "[n]" are the explanation, joined with no separator
(blank lines are dropped). The blocks must be [1] to [36] in order, each
explanation 100 to 300 characters long and naming its keyed choice with a
circled digit ("正解は④"), which must be the one choice marked ○. ERA is one
of 原始・古代 中世 近世 近代 現代, THEME one of 政治 外交 社会・経済 文化, and
every era and every theme must tag at least one question.

OUTPUT is UTF-8 with one line a question,
"n<TAB>era<TAB>theme<TAB>keyword<TAB>point<TAB>choice 1<TAB>...<TAB>choice k<TAB>text",
n = 1 to 36, each choice its mark (○ or ×) and its reason, read by
exam/explanations.cpp. Running this again on the same source gives the same bytes.
"""

import re
import sys

QUESTIONS = 36
SHORTEST = 100
LONGEST = 300
HEADER = re.compile(r"^\[(\d+)\](?: +(\S+) +(\S+))?$")
ERAS = ("原始・古代", "中世", "近世", "近代", "現代")
THEMES = ("政治", "外交", "社会・経済", "文化")
KEYED_CHOICE = re.compile("正解は([①②③④⑤⑥])")
CIRCLED = "①②③④⑤⑥"
STUDY_LINE = re.compile("^(キーワード|ポイント)：(.+)$")
CHOICE_LINE = re.compile("^([①②③④⑤⑥])([○×])：(.+)$")
LONGEST_KEYWORD = 24
POINT_LENGTH = (30, 130)
REASON_LENGTH = (6, 60)


class SourceError(Exception):
    pass


def read_blocks(lines):
    """The blocks in source order, as dicts of question, era, theme, keyword, point,
    choices (mark + reason, in order) and text."""
    blocks = []
    for number, raw in enumerate(lines, start=1):
        line = raw.strip()
        if line.startswith("#") or not line:
            continue
        header = HEADER.match(line)
        if header:
            blocks.append({"question": int(header.group(1)), "era": header.group(2), "theme": header.group(3),
                           "キーワード": "", "ポイント": "", "choices": [], "text": []})
            continue
        if not blocks:
            raise SourceError("line %d: text before the first [n]" % number)
        block = blocks[-1]
        study = STUDY_LINE.match(line)
        choice = CHOICE_LINE.match(line)
        if study and not block["text"]:
            block[study.group(1)] = study.group(2)
        elif choice and not block["text"]:
            if CIRCLED.index(choice.group(1)) != len(block["choices"]):
                raise SourceError("line %d: choice %s out of order" % (number, choice.group(1)))
            block["choices"].append(choice.group(2) + choice.group(3))
        else:
            block["text"].append(line)
    for block in blocks:
        block["text"] = "".join(block["text"])
    return blocks


def check_block(block):
    question, text = block["question"], block["text"]
    if block["era"] not in ERAS:
        raise SourceError("[%d] has era %r, not one of %s" % (question, block["era"], " ".join(ERAS)))
    if block["theme"] not in THEMES:
        raise SourceError("[%d] has theme %r, not one of %s" % (question, block["theme"], " ".join(THEMES)))
    if not SHORTEST <= len(text) <= LONGEST:
        raise SourceError("[%d] has %d characters, not %d to %d" % (question, len(text), SHORTEST, LONGEST))
    keyed = KEYED_CHOICE.search(text)
    if not keyed:
        raise SourceError("[%d] names no keyed choice (正解は① ... 正解は⑥)" % question)
    if not 0 < len(block["キーワード"]) <= LONGEST_KEYWORD:
        raise SourceError("[%d] needs a キーワード of at most %d characters" % (question, LONGEST_KEYWORD))
    if not POINT_LENGTH[0] <= len(block["ポイント"]) <= POINT_LENGTH[1]:
        raise SourceError("[%d] needs a ポイント of %d to %d characters" % ((question,) + POINT_LENGTH))
    choices = block["choices"]
    if len(choices) not in (4, 6):
        raise SourceError("[%d] has %d choice lines, not 4 or 6" % (question, len(choices)))
    right = [i for i, choice in enumerate(choices) if choice.startswith("○")]
    if right != [CIRCLED.index(keyed.group(1))]:
        raise SourceError("[%d] must mark exactly its keyed choice %s with ○" % (question, keyed.group(1)))
    for choice in choices:
        if not REASON_LENGTH[0] <= len(choice) - 1 <= REASON_LENGTH[1]:
            raise SourceError("[%d] has a reason of %d characters: %s" % (question, len(choice) - 1, choice))
    for field in [text, block["キーワード"], block["ポイント"]] + choices:
        if "\t" in field:
            raise SourceError("[%d] holds a tab" % question)


def check(blocks):
    numbers = [block["question"] for block in blocks]
    if numbers != list(range(1, QUESTIONS + 1)):
        raise SourceError("the blocks must be [1] to [%d] in order; found %s" % (QUESTIONS, numbers))
    for block in blocks:
        check_block(block)
    for tag, names in (("era", ERAS), ("theme", THEMES)):
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
        for block in blocks:
            fields = [str(block["question"]), block["era"], block["theme"], block["キーワード"], block["ポイント"]]
            f.write("\t".join(fields + block["choices"] + [block["text"]]) + "\n")


if __name__ == "__main__":
    main()

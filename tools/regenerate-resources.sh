#!/usr/bin/env bash
# Rebuilds every generated resource from its source under tools/.
# The outputs are committed; running this again gives the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."

# Debian's interpreter, with python3-pil and python3-fonttools, which the pictures
# and the scalable icon need.
python=/usr/bin/python3

"$python" tools/make_rtf.py --profile table tools/documents/passlines.txt resources/documents/passlines.rtf
"$python" tools/make_rtf.py --profile help tools/documents/help.txt resources/documents/help.rtf
if [[ -f tools/documents/booklet.txt ]]; then
    "$python" tools/make_rtf.py --profile booklet tools/documents/booklet.txt resources/documents/booklet.rtf
fi
"$python" tools/make_explanations.py tools/documents/explanations.txt resources/documents/explanations.tsv

"$python" tools/make_pictures.py resources
if [[ -f tools/make_figure.py ]]; then
    "$python" tools/make_figure.py resources/pictures/figure1.jpg
fi

"$python" tools/make_chime.py resources/Zikan.wav

#!/usr/bin/env bash
# Rebuilds every generated resource from its source under tools/, into resources/
# or the folder given. The outputs are committed; running this again gives the same
# bytes, which the test resources_regenerated (tests/check_resources.py) checks.
#
#     tools/regenerate-resources.sh [OUTPUT_DIR]
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$source_dir/resources}")
cd "$source_dir"
mkdir -p "$out/documents" "$out/pictures" "$out/icons"

# Debian's interpreter, with python3-pil and python3-fonttools, which the pictures
# and the scalable icon need.
python=/usr/bin/python3

"$python" tools/make_rtf.py --profile table tools/documents/passlines.txt "$out/documents/passlines.rtf"
"$python" tools/make_rtf.py --profile help tools/documents/help.txt "$out/documents/help.rtf"
if [[ -f tools/documents/booklet.txt ]]; then
    "$python" tools/make_rtf.py --profile booklet tools/documents/booklet.txt "$out/documents/booklet.rtf"
fi
"$python" tools/make_explanations.py tools/documents/explanations.txt "$out/documents/explanations.tsv"

"$python" tools/make_pictures.py "$out"
if [[ -f tools/make_figure.py ]]; then
    "$python" tools/make_figure.py "$out/pictures/figure1.jpg"
fi

# The sound's name as the build spells it (resources/CMakeLists.txt).
sound_name=$(sed -n 's/^set(NIHONSHIB_SOUND_NAME \([^ )]*\) .*/\1/p' resources/CMakeLists.txt)
"$python" tools/make_chime.py "$out/$sound_name"

#!/usr/bin/env bash
# Builds the screenshots utility and saves pictures of every window into a folder
# (the README's picture is docs/screenshot.png, a copy of exam-window.png).
#
#   tools/screenshots.sh [--build-dir DIR] [OUTPUT_FOLDER]
#
# The pictures follow the system's fonts; the locale is Japanese unless LANG says otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-tools"
if [ "${1:-}" = "--build-dir" ]; then
    build=$2
    shift 2
fi
out=${1:-$build/screenshots}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIHONSHIB_TOOLS=ON >/dev/null
cmake --build "$build" -j2 --target screenshots >/dev/null
QT_QPA_PLATFORM=offscreen LANG=${LANG:-ja_JP.UTF-8} "$build/tools/screenshots" "$out"

#!/usr/bin/env bash
# Builds the screenshots utility and saves pictures of every window into a folder
# (exam-window.png shows the scene of docs/screenshot.png, the README's picture).
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

# A new build folder is a release build; an existing one keeps its own settings.
if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DNIHONSHIB_TOOLS=ON >/dev/null
else
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIHONSHIB_TOOLS=ON >/dev/null
fi
cmake --build "$build" -j2 --target screenshots >/dev/null
QT_QPA_PLATFORM=offscreen LANG=${LANG:-ja_JP.UTF-8} "$build/tools/screenshots" "$out"

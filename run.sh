#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the program.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target nihonshib
exec build/app/nihonshib "$@"

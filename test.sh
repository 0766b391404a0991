#!/usr/bin/env bash
# Installs what is missing, builds the tests twice (with AddressSanitizer and
# UndefinedBehaviorSanitizer, then as the release build) and runs the suite each
# time; then, last, the package step (ctest label "package": the Debian package
# built from two copies of the checkout), in the release build. The benchmarks are
# built and run briefly in the release build, where their figures mean something.
# Any failure, or any sanitizer report, fails the run. The everyday run is
# `ctest -LE package`.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh test

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNIHONSHIB_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-asan
# Three tests at a time on two cores: most of them wait on timers, sound and the X
# server. Those that want the machine to themselves ask for all of it (PROCESSORS 4).
ctest --test-dir build-asan --output-on-failure --parallel 3 -LE package

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DNIHONSHIB_BENCHMARKS=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure --parallel 3 -LE package
ctest --test-dir build --output-on-failure -L package

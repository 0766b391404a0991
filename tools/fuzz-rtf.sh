#!/bin/bash
# Builds the RTF reader's libFuzzer target with clang in build-fuzz and runs
# it for the given number of seconds, seeded with the shipped documents and
# the test fixtures. Findings land in build-fuzz/fuzz-artifacts/.
#
# usage: tools/fuzz-rtf.sh SECONDS
set -euo pipefail

seconds=${1:-}
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS" >&2
    exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
compiler=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$compiler" ]; then
    echo "$0: clang++ is needed for libFuzzer" >&2
    exit 1
fi

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DNIHONSHIB_FUZZ=ON -DBUILD_TESTING=OFF >"$build/configure.log" 2>&1 \
    || { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" --target fuzz-rtf-reader -j2

corpus=$build/fuzz-corpus
artifacts=$build/fuzz-artifacts
mkdir -p "$corpus" "$artifacts"

seeds=()
shopt -s nullglob globstar
for seed in "$root"/resources/documents/*.rtf "$root"/tests/fixtures/rtf/**/*.rtf; do
    seeds+=("$seed")
done
seed_dir=$build/fuzz-seeds
rm -rf "$seed_dir"
mkdir -p "$seed_dir"
for seed in "${seeds[@]}"; do
    cp "$seed" "$seed_dir/$(basename "$(dirname "$seed")")-$(basename "$seed")"
done

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1
# fontconfig keeps allocations for the life of the process, as in the tests.
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp
"$build/tools/fuzz/fuzz-rtf-reader" \
    -max_total_time="$seconds" \
    -max_len=200000 \
    -timeout=10 \
    -rss_limit_mb=4096 \
    -dict="$root/tools/fuzz/rtf.dict" \
    -artifact_prefix="$artifacts/" \
    -print_final_stats=1 \
    "$corpus" "$seed_dir"

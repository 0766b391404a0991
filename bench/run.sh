#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them offscreen and under Xvfb. Every
# figure is printed beside its floor measured in the same run on this machine.
#
#   bench/run.sh [--build-dir DIR] [--quick] [--only startup|zoom|documents|score|countdown]
#
# --quick cuts the counts and the countdown to 10 s, to try the script out; the
# figures in bench/README.md come from a run without it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
measure_args=()
floods_args=()
only=
while [ $# -gt 0 ]; do
    case "$1" in
        --build-dir) build=$2; shift 2 ;;
        --only) measure_args+=(--only "$2"); only=$2; shift 2 ;;
        --quick) measure_args+=(--startup-runs 5 --cold-runs 1 --zoom-steps 6 --rtf-iterations 10 --countdown-seconds 10 --score-iterations 2000); floods_args=(--quick); shift ;;
        *) echo "usage: $0 [--build-dir DIR] [--quick] [--only PART]" >&2; exit 2 ;;
    esac
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIHONSHIB_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target bench-startup bench-startup-empty bench-startup-screen bench-zoom bench-rtf bench-countdown bench-score bench-verdict rtf-to-text nihonshib >/dev/null

echo "# Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "# Load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "# Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6), build $(grep -m1 CMAKE_BUILD_TYPE: "$build/CMakeCache.txt" | cut -d= -f2)"

export QT_LOGGING_RULES="qt.multimedia*=false"
# A runtime folder of the run's own where the session has none, removed at the end.
own_runtime=
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    own_runtime=$(mktemp -d)
    export XDG_RUNTIME_DIR=$own_runtime
fi

# A private sound server, as a desktop would have, so any audio threads the program
# starts show up in the countdown; its own pid file tells pulse-server.sh what to stop.
pulse_dir=$(mktemp -d)
trap '"$root/tests/audio/pulse-server.sh" stop "$pulse_dir" >/dev/null 2>&1 || true; [ -z "$own_runtime" ] || rm -rf "$own_runtime"' EXIT
if "$root/tests/audio/pulse-server.sh" start "$pulse_dir" >/dev/null 2>&1 && [ -S "$pulse_dir/native" ]; then
    export PULSE_SERVER="unix:$pulse_dir/native"
    echo "# Sound server: private PulseAudio at $PULSE_SERVER"
else
    echo "# Sound server: none"
fi

QT_QPA_PLATFORM=offscreen python3 "$root/bench/measure.py" --build-dir "$build" "${measure_args[@]}"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    python3 "$root/bench/measure.py" --build-dir "$build" "${measure_args[@]}"
if [ -z "$only" ]; then
    QT_QPA_PLATFORM=offscreen "$build/bench/bench-verdict"
    python3 "$root/bench/rtf_floods.py" "$build/tools/rtf-to-text" "${floods_args[@]}"
fi
echo
echo "# Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

#!/bin/bash
# Runs the sound device's tests over and over under CPU load, to catch what only
# a busy machine shows (a thread that comes late, an exit that races a thread).
#
# usage: tools/stress-sound.sh [--iterations N] [--load N] [--build DIR] [--hung-every K]
#                              [--tests "tst_a tst_b[:function,...] ..."] [--out DIR]
#
#   --iterations N   rounds to run (default 100); each round runs every test once
#   --load N         busy loops kept running meanwhile (default 4)
#   --build DIR      the build to take the tests from (default build-asan, the
#                    sanitizer build; a -DNIHONSHIB_TSAN=ON build works too)
#   --hung-every K   also run the hung-sound-server run of the real program every
#                    K rounds (default 10; 0 leaves it out); needs nihonshib built in DIR
#   --tests LIST     the test executables, each optionally with the test functions
#                    to run (default: tst_mediasound tst_mediacontrol tst_mediaprobe
#                    tst_examsound)
#   --out DIR        where the logs of failed runs go (default DIR/stress-sound)
#
# The tests hear a private sound server (tests/audio/pulse-server.sh) started here.
# A run that fails, crashes or hangs (five minutes) has its output kept; the summary
# counts runs and failures per test and names the signals seen. Exit status 0 only
# when every run passed.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
iterations=100
load=4
build=$root/build-asan
hung_every=10
tests="tst_mediasound tst_mediacontrol tst_mediaprobe tst_examsound"
out=

while [ $# -gt 0 ]; do
    case "$1" in
    --iterations) iterations=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --hung-every) hung_every=$2; shift 2 ;;
    --tests) tests=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) sed -n '2,25p' "$0" >&2; exit 2 ;;
    esac
done
out=${out:-$build/stress-sound}
mkdir -p "$out"

server=$(mktemp -d /tmp/nihonshib-stress-XXXXXX)
busy_pids=()
cleanup() {
    for pid in "${busy_pids[@]}"; do kill "$pid" 2>/dev/null; done
    sh "$root/tests/audio/pulse-server.sh" stop "$server" >/dev/null 2>&1
}
trap cleanup EXIT
# Interrupted: finish the run under way, then sum up what has run.
stop=
trap 'stop=1' INT TERM

sh "$root/tests/audio/pulse-server.sh" start "$server" >/dev/null || { echo "no sound server" >&2; exit 1; }
for _ in $(seq 1 "$load"); do
    ( while :; do :; done ) &
    busy_pids+=($!)
done

export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES='qt.multimedia*=false'
export PULSE_SERVER=unix:$server/native
export NIHONSHIB_PULSE_SINK=nihonshib_null
# A crash is counted and its output kept: QtTest must neither stop to attach a debugger
# nor (-nocrashhandler) stand in front of the sanitizer that prints where it happened.
export QTEST_DISABLE_STACK_DUMP=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# As tests/CMakeLists.txt sets it for CTest.
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:use_tls=0
# die_after_fork=0: the tests start helper programs (sox, parec) with QProcess, which
# forks and at once execs.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:die_after_fork=0:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp}

declare -A runs failures
signals=()

record() { # name status log
    local name=$1 status=$2 log=$3
    runs[$name]=$(( ${runs[$name]:-0} + 1 ))
    if [ "$status" -ne 0 ]; then
        failures[$name]=$(( ${failures[$name]:-0} + 1 ))
        [ "$status" -gt 128 ] && signals+=("$name:$(kill -l $((status - 128)) 2>/dev/null || echo $status)")
        [ "$status" -eq 124 ] && signals+=("$name:hung")
        cp "$log" "$out/$name-round$round-status$status.log"
        echo "round $round: $name failed with status $status (log in $out)"
    fi
}

started=$(date +%s)
rounds=0
for round in $(seq 1 "$iterations"); do
    [ -n "$stop" ] && break
    for entry in $tests; do
        name=${entry%%:*}
        functions=
        [ "$entry" != "$name" ] && functions=${entry#*:}
        log=$out/current.log
        # shellcheck disable=SC2086
        timeout -k 10 300 "$build/tests/$name" -nocrashhandler ${functions//,/ } >"$log" 2>&1
        record "$name" $? "$log"
    done
    if [ "$hung_every" -gt 0 ] && [ $((round % hung_every)) -eq 0 ]; then
        log=$out/current.log
        timeout -k 10 300 python3 "$root/tests/e2e/hung_sound_server.py" "$build/app/nihonshib" \
            "$out/hung_sound_server" >"$log" 2>&1
        record hung_sound_server $? "$log"
    fi
    rounds=$round
    echo "round $round of $iterations done, $(( $(date +%s) - started )) s, load $(cut -d' ' -f1 /proc/loadavg)"
done

echo "rounds completed: $rounds, busy loops: $load, build: $build, $(( $(date +%s) - started )) s"
status=0
for name in "${!runs[@]}"; do
    echo "  $name: ${runs[$name]} runs, ${failures[$name]:-0} failed"
    [ "${failures[$name]:-0}" -eq 0 ] || status=1
done
[ ${#signals[@]} -eq 0 ] || echo "  signals: ${signals[*]}"
exit $status

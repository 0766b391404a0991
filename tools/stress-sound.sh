#!/bin/bash
# Repeats, under CPU load, the moments when the sound device's audio thread meets the
# rest of the program (tests/tst_mediastress.cpp), to catch what only a busy machine
# shows: a thread that comes late, an exit that races a thread.
#
# usage: tools/stress-sound.sh [--build DIR] [--iterations N] [--minutes M] [--per-process R]
#                              [--load N] [--output-removal] [--hung-every K] [--out DIR]
#
#   --build DIR        the build to take tst_mediastress from (default build-asan, the
#                      sanitizer build; a -DNIHONSHIB_TSAN=ON build works too)
#   --iterations N     iterations to run (default 2000)
#   --minutes M        or stop starting new processes after M minutes (default: no limit)
#   --per-process R    iterations per test process (default 20), so that the
#                      processes' starts and ends are repeated too
#   --load N           busy loops kept running meanwhile (default 2)
#   --output-removal   accepted for older command lines: every pass now takes the
#                      server's only output away under a playing sound and brings it back
#   --hung-every K     after every K test processes, also run the real program at
#                      time-up against a sound server that never answers
#                      (tests/e2e/hung_sound_server.py; default 10, 0 leaves it out;
#                      left out where DIR has no app/nihonshib)
#   --out DIR          where the logs of failed runs go (default DIR/stress-sound)
#
# One iteration is one pass of tst_mediastress: a device deleted right after Play, one
# deleted as its sound starts (already draining), Prev as it starts, Play again as it
# starts, a sound played to its end, the output removed while a sound plays and the next
# sound played, a server of its own killed before or while a sound plays (by turns), and
# one child process that ends with the audio thread, by turns, busy
# closing outputs, asking a sound server that never answers, or held inside the audio
# library with its lock. The tests hear a private sound server (tests/audio/pulse-server.sh) started here.
#
# A test process that fails, crashes or hangs (five minutes) has its output kept and
# counts one failure; its iterations count only as far as they passed. The last line is
#   iterations=N failures=M build=asan|tsan|plain load=L seconds=S
# with L the mean one-minute load average seen. Exit status 0 only when nothing failed.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-asan
iterations=2000
minutes=0
per_process=20
load=2
hung_every=10
out=

while [ $# -gt 0 ]; do
    case "$1" in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --iterations) iterations=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --per-process) per_process=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --output-removal) shift ;;
    --hung-every) hung_every=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) sed -n '2,35p' "$0" >&2; exit 2 ;;
    esac
done
out=${out:-$build/stress-sound}
mkdir -p "$out"
test=$build/tests/tst_mediastress
[ -x "$test" ] || { echo "no $test: build the tst_mediastress target first" >&2; exit 2; }
[ -x "$build/app/nihonshib" ] || hung_every=0

kind=plain
grep -q '^NIHONSHIB_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && kind=asan
grep -q '^NIHONSHIB_TSAN:BOOL=ON' "$build/CMakeCache.txt" && kind=tsan

server=$(mktemp -d /tmp/nihonshib-stress-XXXXXX)
busy_pids=()
cleanup() {
    for pid in "${busy_pids[@]}"; do kill "$pid" 2>/dev/null; done
    sh "$root/tests/audio/pulse-server.sh" stop "$server" >/dev/null 2>&1
}
trap cleanup EXIT
# Interrupted: finish the process under way, then sum up what has run.
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
# nor stand in front of the sanitizer that prints where it happened.
export QTEST_DISABLE_STACK_DUMP=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# As tests/CMakeLists.txt sets it for CTest: with thread-local storage scanned, as the
# sound server's thread, which runs until the process ends, keeps Qt's bookkeeping for
# itself only there once it has reported a change of outputs.
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:use_tls=1
# die_after_fork=0: the tests start helper programs (pactl, parec, their own children)
# with QProcess, which forks and at once execs. ignore_noninstrumented_modules=1: Qt and
# the system libraries are not built for ThreadSanitizer, which sees neither their locks
# nor Qt's atomics, so their own allocations and memory use are left out of its judgement.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:die_after_fork=0:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$root/tests/tsan.supp}

started=$(date +%s)
done_iterations=0
failures=0
processes=0
load_sum=0
load_samples=0
hung_runs=0

sample_load() {
    load_sum=$(awk -v sum="$load_sum" '{ print sum + $1 }' /proc/loadavg)
    load_samples=$((load_samples + 1))
}

keep_log() { # name status log
    failures=$((failures + 1))
    cp "$3" "$out/$1-process$processes-status$2.log"
    echo "process $processes: $1 failed with status $2 (log in $out)"
}

while [ -z "$stop" ] && [ "$done_iterations" -lt "$iterations" ]; do
    if [ "$minutes" -gt 0 ] && [ $(( $(date +%s) - started )) -ge $((minutes * 60)) ]; then
        break
    fi
    repeat=$(( iterations - done_iterations < per_process ? iterations - done_iterations : per_process ))
    log=$out/current.log
    NIHONSHIB_STRESS_PASSES=$repeat timeout -k 10 300 "$test" -nocrashhandler >"$log" 2>&1
    status=$?
    processes=$((processes + 1))
    sample_load
    if [ "$status" -eq 0 ]; then
        done_iterations=$((done_iterations + repeat))
    else
        # The passes that ended before the first failure or sanitizer report count as
        # clean, the one that failed as one iteration and one failure.
        clean=$(awk '/^FAIL!|^==[0-9]+==|^WARNING: ThreadSanitizer|runtime error:/ { exit }
                     /^PASS   : tst_MediaStress::cleanupTestCase\(\)/ { n++ } END { print n + 0 }' "$log")
        # (A process that fails only as it ends has run all its passes.)
        done_iterations=$((done_iterations + (clean < repeat ? clean + 1 : repeat)))
        keep_log tst_mediastress "$status" "$log"
    fi
    if [ "$hung_every" -gt 0 ] && [ $((processes % hung_every)) -eq 0 ]; then
        timeout -k 10 300 python3 "$root/tests/e2e/hung_sound_server.py" "$build/app/nihonshib" \
            "$out/hung_sound_server" >"$log" 2>&1
        status=$?
        hung_runs=$((hung_runs + 1))
        [ "$status" -eq 0 ] || keep_log hung_sound_server "$status" "$log"
    fi
    echo "$done_iterations iterations, $failures failures, $(( $(date +%s) - started )) s, load $(cut -d' ' -f1 /proc/loadavg)"
done

seconds=$(( $(date +%s) - started ))
mean_load=$(awk -v sum="$load_sum" -v n="$load_samples" 'BEGIN { printf "%.2f", n ? sum / n : 0 }')
echo "test processes: $processes, hung-server runs of the program: $hung_runs, busy loops: $load, build: $build"
echo "iterations=$done_iterations failures=$failures build=$kind load=$mean_load seconds=$seconds"
[ "$failures" -eq 0 ]

#!/usr/bin/env python3
"""Runs the benchmarks on one display platform and prints each result beside
its floor from the same run, with the verdict on each target.

bench/run.sh calls this once with QT_QPA_PLATFORM=offscreen and once under Xvfb.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

# The first frame against the same screen drawn by Qt Widgets alone (bench-startup-screen):
# instructions and CPU time within 1.10x, peak memory within 4 MiB.
SCREEN_RATIO_TARGET = 1.10
SCREEN_MEMORY_TARGET_KB = 4 * 1024
# The first frame while the fonts' caches cannot be written, against the same as installed.
FONT_CACHE_RATIO_TARGET = 1.1
ZOOM_MEDIAN_TARGET_MS = 16
ZOOM_WORST_TARGET_MS = 100
WAKEUP_TARGET_PER_S = 1.5
# With the keyboard focus in the booklet: the viewer must add nothing (no caret blinking).
FOCUSED_WAKEUP_TARGET_PER_S = 1.1
CPU_TARGET_PERCENT = 0.2


def fields(line):
    """key=value pairs of one line of a benchmark's output."""
    out = {}
    for word in line.split()[1:]:
        if '=' in word:
            key, value = word.split('=', 1)
            out[key] = value
    return out


def run_lines(command, prefix, env=None):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            text=True, env=env, check=False)
    lines = [line for line in result.stdout.splitlines() if line.startswith(prefix)]
    if result.returncode != 0 or not lines:
        sys.exit(f'{" ".join(command)} failed (exit {result.returncode}):\n{result.stdout}')
    return lines


def verdict(met):
    return 'MET' if met else 'NOT MET'


def drop_caches():
    """Cold start: the page cache, dentries and inodes dropped (root only: /proc/sys/vm/drop_caches)."""
    os.sync()
    with open('/proc/sys/vm/drop_caches', 'w') as f:
        f.write('3\n')


def start_once(bench_dir, executable, args=(), env_extra=None, cold=False):
    """One start-up in a fresh process; the child measures from the stamp taken here.
    cpu_ms and maxrss_kb are the kernel's accounting of the finished child."""
    command = [os.path.join(bench_dir, executable), *args]
    env = dict(os.environ, **(env_extra or {}))
    if cold:
        drop_caches()
    t0 = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
    env['BENCH_T0_NS'] = str(t0)
    child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)
    line = ''
    for line in child.stdout:
        if line.startswith('startup '):
            break
    seen_ns = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
    child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = os.waitstatus_to_exitcode(status)
    if not line.startswith('startup '):
        sys.exit(f'{" ".join(command)} printed no start-up line (exit {child.returncode})')
    result = fields(line)
    result['parent_ms'] = (seen_ns - t0) / 1e6
    result['cpu_ms'] = (usage.ru_utime + usage.ru_stime) * 1000
    return result


def pairs(first, second, runs, cold=False):
    """runs interleaved pairs (first, second), after one warm-up of each that is not counted."""
    return rounds((first, second), runs, cold)


def rounds(starts, runs, cold=False):
    """runs interleaved rounds of the starts (a, b, c, a, b, c, ...), after one warm-up of each."""
    if not cold:
        for start in starts:
            start()
    return [tuple(start() for start in starts) for _ in range(runs)]


def pair_ratio(rows, key, first=0, second=1):
    return statistics.median(float(row[first][key]) / float(row[second][key]) for row in rows)


def med(rows, key):
    return statistics.median(float(row[key]) for row in rows)


def first_screen(bench_dir, handoff):
    """The program's first screen for the same-screen floor, and the floor's check of it."""
    run_lines([os.path.join(bench_dir, 'bench-startup'), '--grab-booklet', handoff], 'startup ')
    result = subprocess.run([os.path.join(bench_dir, 'bench-startup-screen'), '--compare', handoff],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, check=False)
    line = next((l for l in result.stdout.splitlines() if l.startswith('booklet_compare')), '')
    f = fields(line)
    print(f'booklet area of the first frame, program against the same-screen floor: {f.get("size", "?")}, '
          f'{f.get("differing_pixels", "?")} pixels differ: {verdict(f.get("identical") == "yes")}')


def callgrind(bench_dir, handoff, size):
    """Instructions from exec to the first frame, one run each (they repeat to within 0.1 %)."""
    counts = {}
    with tempfile.TemporaryDirectory() as scratch:
        for name, executable, args in (('exam', 'bench-startup', []),
                                       ('screen', 'bench-startup-screen', ['--booklet', handoff]),
                                       ('empty', 'bench-startup-empty', ['--width', size[0], '--height', size[1]])):
            out = os.path.join(scratch, name + '.out')
            subprocess.run(['valgrind', '--tool=callgrind', f'--callgrind-out-file={out}',
                            os.path.join(bench_dir, executable), *args],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            with open(out) as f:
                counts[name] = next(int(l.split()[1]) for l in f if l.startswith('summary:'))
    return counts


def startup_rounds(bench_dir, handoff, runs, cold, counts=None):
    """Rounds of the program, the same-screen floor and the empty window: each figure
    beside both floors, the ratios the medians of the rounds' own ratios."""
    exam = lambda: start_once(bench_dir, 'bench-startup', cold=cold)
    size = exam()['size'].split('x')
    screen = lambda: start_once(bench_dir, 'bench-startup-screen', ['--booklet', handoff], cold=cold)
    empty = lambda: start_once(bench_dir, 'bench-startup-empty', ['--width', size[0], '--height', size[1]], cold=cold)
    rows = rounds((exam, screen, empty), runs, cold)
    name = 'cold' if cold else 'warm'
    columns = [[row[i] for row in rows] for i in range(3)]
    print(f'{name}: {"":22s} {"program":>10s} {"same screen":>12s} {"empty":>10s} {"÷ screen":>9s} {"÷ empty":>8s}')
    if counts:
        print(f'{name}: {"instructions (M)":22s} {counts["exam"] / 1e6:10.1f} {counts["screen"] / 1e6:12.1f} '
              f'{counts["empty"] / 1e6:10.1f} {counts["exam"] / counts["screen"]:8.3f}x '
              f'{counts["exam"] / counts["empty"]:7.2f}x')
    for label, key in (('CPU time (ms)', 'cpu_ms'), ('first frame (ms)', 'frame_ms'), ('seen by parent (ms)', 'parent_ms')):
        print(f'{name}: {label:22s} {med(columns[0], key):10.1f} {med(columns[1], key):12.1f} {med(columns[2], key):10.1f} '
              f'{pair_ratio(rows, key, 0, 1):8.3f}x {pair_ratio(rows, key, 0, 2):7.2f}x')
    hwm = [med(column, 'hwm_kb') / 1024 for column in columns]
    print(f'{name}: {"peak memory (MiB)":22s} {hwm[0]:10.1f} {hwm[1]:12.1f} {hwm[2]:10.1f} '
          f'{hwm[0] - hwm[1]:+8.1f}  {hwm[0] - hwm[2]:+7.1f}')
    if counts:
        ratio = counts['exam'] / counts['screen']
        print(f'{name}: instructions ÷ same screen {ratio:.3f}x; target <= {SCREEN_RATIO_TARGET}x: '
              f'{verdict(ratio <= SCREEN_RATIO_TARGET)}')
    cpu = pair_ratio(rows, 'cpu_ms', 0, 1)
    print(f'{name}: CPU ÷ same screen, median of {runs} rounds {cpu:.3f}x; target <= {SCREEN_RATIO_TARGET}x: '
          f'{verdict(cpu <= SCREEN_RATIO_TARGET)}')
    extra_kb = med(columns[0], 'hwm_kb') - med(columns[1], 'hwm_kb')
    print(f'{name}: peak memory above the same screen {extra_kb / 1024:.1f} MiB; target <= '
          f'{SCREEN_MEMORY_TARGET_KB // 1024} MiB: {verdict(extra_kb <= SCREEN_MEMORY_TARGET_KB)}')


def unwritable_font_cache(scratch):
    """The system's font configuration with its system cache folder unusable and the user's
    cache folder filled by fc-cache, then made read-only: a stale system cache covered by the
    user's, or a user who cannot write their cache folder."""
    config = os.path.join(scratch, 'fonts.conf')
    with open(os.environ.get('FONTCONFIG_FILE', '/etc/fonts/fonts.conf')) as f:
        text = f.read()
    with open(config, 'w') as f:
        f.write(text.replace('<cachedir>/var/cache/fontconfig</cachedir>', '<cachedir>/proc/no-font-cache</cachedir>'))
    env = {'FONTCONFIG_FILE': config, 'XDG_CACHE_HOME': os.path.join(scratch, 'cache')}
    subprocess.run(['fc-cache'], env=dict(os.environ, **env), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)
    os.chmod(os.path.join(scratch, 'cache', 'fontconfig'), 0o555)
    return env


def startup(bench_dir, runs, cold_runs, instructions):
    print(f'\n## Start-up to the first frame and peak memory: the program against the same screen in plain Qt '
          f'and an empty window ({runs} interleaved rounds warm, one warm-up each not counted; {cold_runs} cold)')
    with tempfile.TemporaryDirectory() as handoff:
        first_screen(bench_dir, handoff)
        counts = None
        if instructions:
            size = start_once(bench_dir, 'bench-startup')['size'].split('x')
            counts = callgrind(bench_dir, handoff, size)
        startup_rounds(bench_dir, handoff, runs, cold=False, counts=counts)
        if cold_runs:
            try:
                startup_rounds(bench_dir, handoff, cold_runs, cold=True)
            except PermissionError:
                print('cold start-up: skipped (dropping the page cache needs root)')

    with tempfile.TemporaryDirectory() as scratch:
        env = unwritable_font_cache(scratch)
        rows = pairs(lambda: start_once(bench_dir, 'bench-startup', env_extra=env),
                     lambda: start_once(bench_dir, 'bench-startup'), runs)
        ratio = pair_ratio(rows, 'frame_ms')
        print(f'font cache folder read-only, system cache unusable: first frame {med([a for a, _ in rows], "frame_ms"):.1f} ms '
              f'against {med([b for _, b in rows], "frame_ms"):.1f} ms as installed, {ratio:.2f}x (median of {runs} pairs); '
              f'target <= {FONT_CACHE_RATIO_TARGET}x: {verdict(ratio <= FONT_CACHE_RATIO_TARGET)}')


def zoom(bench_dir, steps):
    print(f'\n## One zoom step, from the key press to the frame on screen ({steps} steps a document and position)')
    for line in run_lines([os.path.join(bench_dir, 'bench-zoom'), '--steps', str(steps)], 'zoom '):
        f = fields(line)
        median, worst = float(f['median_ms']), float(f['worst_ms'])
        met = median <= ZOOM_MEDIAN_TARGET_MS and worst <= ZOOM_WORST_TARGET_MS
        print(f'{f["document"]:10s} at the {f["position"]:6s}: median {median:6.1f} ms, worst {worst:6.1f} ms '
              f'(to {f["zoom_at_worst"]} %), CPU median {float(f["cpu_median_ms"]):6.1f} ms, '
              f'worst {float(f["cpu_worst_ms"]):6.1f} ms; '
              f'targets <= {ZOOM_MEDIAN_TARGET_MS} / <= {ZOOM_WORST_TARGET_MS} ms: {verdict(met)}')


def documents(bench_dir, iterations):
    print(f'\n## Reading the documents (median of {iterations}; microseconds)')
    for line in run_lines([os.path.join(bench_dir, 'bench-rtf'), '--iterations', str(iterations)], 'rtf '):
        f = fields(line)
        print(f'{f["document"]:27s} {f["bytes"]:>6s} bytes: reader {float(f["read_us"]):8.0f} us, '
              f'reader + layout {float(f["laidout_us"]):8.0f} us (first {float(f["first_laidout_us"]):8.0f} us), '
              f'iconv CP932 {float(f["iconv_us"]):6.0f} us; ratio reader {f["ratio_read"]}x, '
              f'reader + layout {f["ratio_laidout"]}x')


def countdown_run(bench_dir, mode, seconds, results):
    command = [os.path.join(bench_dir, 'bench-countdown'), '--measure-ms', str(seconds * 1000)]
    if mode != 'running':
        command.append('--' + mode)
    results[mode] = run_lines(command, 'countdown')


def proc_sample(pid):
    """CPU ns and context switches of every thread of another process."""
    threads = {}
    base = f'/proc/{pid}/task'
    for tid in os.listdir(base):
        try:
            with open(f'{base}/{tid}/status') as status:
                text = status.read()
            with open(f'{base}/{tid}/schedstat') as schedstat:
                cpu = int(schedstat.read().split()[0])
            with open(f'{base}/{tid}/comm') as comm:
                name = comm.read().strip()
        except OSError:
            continue
        switches = sum(int(line.split()[1]) for line in text.splitlines()
                       if line.startswith(('voluntary_ctxt_switches', 'nonvoluntary_ctxt_switches')))
        threads[int(tid)] = (name, cpu, switches)
    return threads


def real_program(program, seconds, results):
    """The program itself under X: Start clicked with xdotool, then /proc read from outside."""
    child = subprocess.Popen([program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = subprocess.run(['xdotool', 'search', '--sync', '--onlyvisible', '--pid', str(child.pid)],
                                stdout=subprocess.PIPE, text=True, timeout=20).stdout.split()[0]
        time.sleep(1)
        geometry = subprocess.run(['xdotool', 'getwindowgeometry', '--shell', window],
                                  stdout=subprocess.PIPE, text=True, check=True).stdout
        height = int(dict(line.split('=', 1) for line in geometry.split())['HEIGHT'])
        # The Start button sits at (32, 64) in the 554-pixel-high client area, 81 x 33
        # pixels; the menu bar takes the rest of the window's height.
        menu = height - 554
        subprocess.run(['xdotool', 'mousemove', '--window', window, '72', str(menu + 64 + 16), 'click', '1'], check=True)
        time.sleep(3)
        t0, before = time.monotonic(), proc_sample(child.pid)
        time.sleep(seconds)
        t1, after = time.monotonic(), proc_sample(child.pid)
        wall = t1 - t0
        lines = []
        for tid, (name, cpu, switches) in sorted(after.items()):
            _, cpu0, switches0 = before.get(tid, (name, 0, 0))
            lines.append((tid, name, (cpu - cpu0) / 1e6, (switches - switches0) / wall))
        results['program'] = (wall, lines, child.pid)
    except Exception as error:  # an X tool missing or the window never showing
        results['program'] = error
    finally:
        child.terminate()
        child.wait()


def countdown(bench_dir, program, seconds, with_program):
    print(f'\n## A running countdown ({seconds} s measured after 3 s; the bare window measured alongside)')
    results = {}
    jobs = [threading.Thread(target=countdown_run, args=(bench_dir, mode, seconds, results))
            for mode in ('running', 'booklet', 'review', 'empty')]
    for job in jobs:
        job.start()
    for job in jobs:
        job.join()
    # The real program afterwards, on its own: clicking its Start makes it the active
    # window, which would take the keyboard focus away from the booklet run.
    if with_program:
        real_program(program, seconds, results)
    for mode in ('running', 'booklet', 'review', 'empty'):
        for line in results[mode]:
            f = fields(line)
            if line.startswith('countdown-thread'):
                if f.get('ended') == 'yes':
                    print(f'    thread {f["tid"]:>7s} {f["name"]:20s} ended during the run (its wake-ups count only '
                          f'in the process total)')
                else:
                    print(f'    thread {f["tid"]:>7s} {f["name"]:20s} {f["role"]:5s}: {float(f["wakeups_per_s"]):6.2f} '
                          f'wake-ups/s, {float(f["cpu_ms"]):7.2f} ms CPU')
            else:
                print(f'{mode:8s}: {float(f["wakeups_per_s"]):.2f} wake-ups/s in all ({f["threads"]} threads, '
                      f'focus in {f["focus"]}), '
                      f'GUI thread {float(f["gui_wakeups_per_s"]):.2f}/s, audio threads {float(f["audio_wakeups_per_s"]):.2f}/s, '
                      f'others {float(f["other_wakeups_per_s"]):.2f}/s; CPU {float(f["cpu_ms"]):.1f} ms = '
                      f'{float(f["cpu_percent_of_core"]):.3f}% of one core')
                if mode in ('running', 'booklet', 'review'):
                    gui = float(f['gui_wakeups_per_s'])
                    cpu = float(f['cpu_percent_of_core'])
                    target = FOCUSED_WAKEUP_TARGET_PER_S if mode in ('booklet', 'review') else WAKEUP_TARGET_PER_S
                    print(f'  GUI-thread wake-ups {gui:.2f}/s, target <= {target}/s: '
                          f'{verdict(gui <= target)}; CPU {cpu:.3f}% of one core, target < '
                          f'{CPU_TARGET_PERCENT}%: {verdict(cpu < CPU_TARGET_PERCENT)}')
    if with_program:
        outcome = results.get('program')
        if isinstance(outcome, tuple):
            wall, lines, pid = outcome
            total_cpu = sum(line[2] for line in lines)
            print(f'program : build/app/nihonshib, Start clicked by xdotool, {wall:.1f} s read from /proc/{pid}: '
                  f'{sum(line[3] for line in lines):.2f} wake-ups/s in all, CPU {total_cpu:.1f} ms = '
                  f'{total_cpu / (wall * 10):.3f}% of one core')
            for tid, name, cpu_ms, rate in lines:
                print(f'    thread {tid:>7d} {name:20s} {"gui  " if tid == pid else "     "}: {rate:6.2f} wake-ups/s, '
                      f'{cpu_ms:7.2f} ms CPU')
        else:
            print(f'program : not measured ({outcome})')


def score(bench_dir, iterations):
    print(f'\n## The Score press, all 36 answered by the key (median of {iterations})')
    f = fields(run_lines([os.path.join(bench_dir, 'bench-score'), '--iterations', str(iterations)], 'score ')[0])
    print(f'onScoreClicked(): {float(f["direct_us"]):.2f} us against an empty slot {float(f["empty_direct_us"]):.3f} us '
          f'({f["ratio_direct"]}x); through QPushButton::click() {float(f["button_us"]):.2f} us against '
          f'{float(f["empty_button_us"]):.3f} us ({f["ratio_button"]}x); score shown {f["score"]}')
    print(f'first press (shows the mark and the score) {float(f["first_us"]):.1f} us; from that press until the '
          f'frame showing the score is out {float(f["first_frame_us"]):.0f} us')


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--build-dir', required=True)
    parser.add_argument('--startup-runs', type=int, default=20)
    parser.add_argument('--cold-runs', type=int, default=5)
    parser.add_argument('--no-instructions', action='store_true',
                        help='leave out the instruction counts (callgrind, about a minute)')
    parser.add_argument('--zoom-steps', type=int, default=30)
    parser.add_argument('--rtf-iterations', type=int, default=50)
    parser.add_argument('--countdown-seconds', type=int, default=60)
    parser.add_argument('--score-iterations', type=int, default=20000)
    parser.add_argument('--only', choices=['startup', 'zoom', 'documents', 'score', 'countdown'],
                        help='run only this part')
    args = parser.parse_args()

    bench_dir = os.path.join(args.build_dir, 'bench')
    program = os.path.join(args.build_dir, 'app', 'nihonshib')
    platform = os.environ.get('QT_QPA_PLATFORM', '')
    print(f'\n# Platform: {platform}' + (f' (DISPLAY {os.environ.get("DISPLAY")})' if platform == 'xcb' else ''))
    parts = {
        'startup': lambda: startup(bench_dir, args.startup_runs, args.cold_runs, not args.no_instructions),
        'zoom': lambda: zoom(bench_dir, args.zoom_steps),
        'documents': lambda: documents(bench_dir, args.rtf_iterations),
        'score': lambda: score(bench_dir, args.score_iterations),
        'countdown': lambda: countdown(bench_dir, program, args.countdown_seconds,
                                       platform == 'xcb' and os.path.exists(program)),
    }
    for name, part in parts.items():
        if args.only in (None, name):
            part()


if __name__ == '__main__':
    main()

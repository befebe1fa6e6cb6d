"""The benchmarks behind scripts/bench: prints every figure (the median over
repeated runs) and writes docs/benchmarks.md. Figures only, never a verdict.

    python3 bench/bench.py [--quick] [--idle-windows N] [--moods N] [--no-doc]

scripts/bench builds, sets up Wine and a display of its own and runs this.
Wall-clock times from both sides (Python here, GetSystemTimeAsFileTime under
Wine) come from the same CLOCK_REALTIME, so they can be subtracted.
"""
import argparse
import datetime
import math
import os
import platform
import re
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'e2e'))
from harness import (BUILD, WINHELPER, Program, find_window, program_pid, wait_until,  # noqa: E402
                     wh, wine_command)
from service import TIMELINE, UPDATE, start_service  # noqa: E402
from skype_sim import SkypeSim  # noqa: E402

NATIVE = os.path.join(ROOT, 'build', 'bench')
I686_BUILD = os.path.join(ROOT, 'build', 'windows-i686')


def programs():
    """The programs to time: (name, exe). The 32-bit one where this machine runs it."""
    found = [('x86_64', os.path.join(BUILD, 'MoodRelayer.exe'))]
    try:
        with open(os.path.join(ROOT, 'build', 'i386.txt')) as f:
            runs = f.read().startswith('runs')
    except OSError:
        runs = False
    if runs and os.path.exists(os.path.join(I686_BUILD, 'MoodRelayer.exe')):
        found.append(('i686', os.path.join(I686_BUILD, 'MoodRelayer.exe')))
    return found

RELAY_BASELINE = os.path.join(BUILD, 'relay_baseline.exe')
IDLE_BASELINE = os.path.join(BUILD, 'idle_baseline.exe')
USER, PASSWORD = 'bench_user', 'bench-password'
PROTOCOL_5 = b'PROTOCOL 5\0'
WM_CLOSE = 0x0010
POLL_PERIOD = 62.0
# The same text for the program and the baseline, with bytes to escape.
MOOD = b'Bench mood: relay latency, caf\xe9 & cr\xe8me 100%'


def median(values):
    return statistics.median(values) if values else float('nan')


def percentile(values, share):
    """Nearest rank."""
    ordered = sorted(values)
    return ordered[max(0, math.ceil(share * len(ordered)) - 1)]


def say(text=''):
    print(text, flush=True)


# ---- processes under Wine

def cpu_seconds(pid):
    """Time on a CPU of all the process's threads, in nanoseconds from the
    scheduler (the 10 ms ticks of /proc/PID/stat are too coarse for an idle
    program). Threads that ended are not in it; in the idle windows none do."""
    total = 0
    for task in os.listdir(f'/proc/{pid}/task'):
        try:
            with open(f'/proc/{pid}/task/{task}/schedstat') as f:
                total += int(f.read().split()[0])
        except OSError:
            pass
    return total / 1e9


def resident_kib(pid):
    """VmRSS and RssAnon in KiB."""
    values = {}
    with open(f'/proc/{pid}/status') as f:
        for line in f:
            name, _, value = line.partition(':')
            if name in ('VmRSS', 'RssAnon'):
                values[name] = int(value.split()[0])
    return values['VmRSS'], values['RssAnon']


def wineserver_pid():
    """The wineserver of our prefix: it works in a directory named after the
    prefix's device and inode."""
    prefix = os.stat(os.environ['WINEPREFIX'])
    wanted = f'server-{prefix.st_dev:x}-{prefix.st_ino:x}'
    for entry in os.listdir('/proc'):
        if not entry.isdigit():
            continue
        try:
            with open(f'/proc/{entry}/comm') as f:
                if not f.read().startswith('wineserver'):
                    continue
            if os.path.basename(os.readlink(f'/proc/{entry}/cwd')) == wanted:
                return int(entry)
        except OSError:
            continue
    return None


def start_wine(args, env=None):
    full = dict(os.environ)
    full.update(env or {})
    return subprocess.Popen(wine_command(*args), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, env=full)


def close_window_program(process, class_name):
    window = find_window(class_name, '', 2000)
    if window:
        wh('post', window, WM_CLOSE)
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(5)


def attached_from(sim, class_name):
    """The window of that class that sent the simulator "PROTOCOL 5"."""
    for entry in sim.commands_received():
        if entry.data == PROTOCOL_5:
            sender = [e for e in sim.log() if e.kind == 'discover' and e['from'] == entry['from']]
            if sender and sender[0]['class'] == class_name:
                return int(entry['from'], 16)
    return None


# ---- the measurements

def native_benches(runs):
    """The reference expansion and the status scan on 64 KB, native, -O2."""
    say('== native throughput on a 64 KB document (build/bench: no sanitizers)')
    char_refs = os.path.join(NATIVE, 'bench', 'char_refs_bench')
    scan = os.path.join(NATIVE, 'bench', 'status_list_bench')
    expand_mb, expand_us = [], []
    scans = {}
    for _ in range(runs):
        out = subprocess.run([char_refs], capture_output=True, text=True, check=True).stdout
        m = re.search(r'([\d.]+) MB/s .*?, ([\d.]+) us per document', out)
        expand_mb.append(float(m.group(1)))
        expand_us.append(float(m.group(2)))
        out = subprocess.run([scan], capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            m = re.match(r'(.+?)\s+([\d.]+) us per scan\s+([\d.]+) MB/s', line)
            if m:
                scans.setdefault(m.group(1), []).append((float(m.group(2)), float(m.group(3))))
    results = [('reference decoding (decodeCharRefs), 64 KB, half Japanese',
                f'{median(expand_mb):.0f} MB/s', f'{median(expand_us):.1f} us per document')]
    for name, values in scans.items():
        results.append((f'status list scan: {name}', f'{median([v[1] for v in values]):.0f} MB/s',
                        f'{median([v[0] for v in values]):.1f} us per scan'))
    for name, throughput, per in results:
        say(f'  {name:62s} {throughput:>10s}  {per}')
    return results


def paint_bench(runs):
    """paint_bench under Wine: every line is a figure in microseconds."""
    say('== popup frame under Wine (paint_bench)')
    figures = {}
    for _ in range(runs):
        done = subprocess.run(wine_command(os.path.join(BUILD, 'paint_bench.exe')),
                              stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=300)
        for line in done.stdout.splitlines():
            m = re.match(r'(.+?)\s+([\d.]+) us\s+\(', line)
            if m:
                figures.setdefault(m.group(1).rstrip(), []).append(float(m.group(2)))
    results = [(name, median(values)) for name, values in figures.items()]
    for name, value in results:
        say(f'  {name:46s} {value:8.1f} us')
    return results


def wait_tray(class_name, launch):
    """Starts a watcher for the tray icon, then the program by launch();
    returns the seconds from launch to the icon."""
    watcher = subprocess.Popen(wine_command(WINHELPER, 'waittray', class_name, '1001', '30000'),
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    time.sleep(1.0)  # the watcher is up and looking before the launch
    launched = time.time()
    handle = launch()
    out, _ = watcher.communicate(timeout=60)
    if watcher.returncode != 0:
        return handle, None
    return handle, int(out.split()[0]) / 1e6 - launched


def start_up(runs):
    """Per program: (median, baseline median, runs, baseline runs), by turns."""
    say('== start-up: launch to tray icon present')
    times = {name: [] for name, _ in programs()}
    baseline_times = []
    for _ in range(runs):
        for name, exe in programs():
            program = Program({'username': USER, 'password': PASSWORD}, exe=exe)
            _, seconds = wait_tray('MoodRelayer', program.start)
            program.close()
            if seconds is not None:
                times[name].append(seconds)
        baseline, seconds = wait_tray(
            'MrIdleBaseline', lambda: start_wine([IDLE_BASELINE, '--tray']))
        close_window_program(baseline, 'MrIdleBaseline')
        if seconds is not None:
            baseline_times.append(seconds)
    result = {name: (median(values), median(baseline_times), len(values), len(baseline_times))
              for name, values in times.items()}
    for name, (program, baseline, count, _) in result.items():
        say(f'  MoodRelayer.exe {name:7s} {program * 1000:7.0f} ms  (median of {count}); '
            f'ratio {program / baseline:.2f}')
    say(f'  idle_baseline.exe       {median(baseline_times) * 1000:7.0f} ms  (median of '
        f'{len(baseline_times)}; hidden window and tray icon)')
    return result


def answering(runs):
    """Per program: launch to the message loop answering (a message sent to its
    main window returns), with a service that answers the timeline at once and
    one that hangs; medians. Seen from another process: a helper's start is in it."""
    say('== start-up: launch to the message loop answering')
    result = {}
    for hangs in (False, True):
        svc = start_service(user=USER, password=PASSWORD)
        if hangs:
            svc.fault(path=TIMELINE, count=1000, delay=60)
        try:
            for name, exe in programs():
                seconds = []
                for _ in range(runs):
                    program = Program({'username': USER, 'password': PASSWORD}, env=svc.env,
                                      exe=exe)
                    launched = time.monotonic()
                    program.start()
                    window = find_window('MoodRelayer', 'MoodRelayer', 30000)
                    if window:
                        wh('send', window, 0, 0, 0, timeout=90)  # WM_NULL
                        seconds.append(time.monotonic() - launched)
                    program.close()
                result[(name, hangs)] = (median(seconds), len(seconds))
                say(f'  MoodRelayer.exe {name:7s} service {"hangs  " if hangs else "answers"} '
                    f'{median(seconds) * 1000:7.0f} ms  (median of {len(seconds)})')
        finally:
            svc.stop()
    return result


def exe_sizes():
    """Per build: the program's size as it ships, beside the bare hidden-window
    program (idle_baseline.exe) built the same way and stripped alike."""
    say('== size of the exe as it ships')
    result = {}
    for arch, build in (('x86_64', BUILD), ('i686', I686_BUILD)):
        exe = os.path.join(build, 'MoodRelayer.exe')
        baseline = os.path.join(build, 'idle_baseline.exe')
        if not (os.path.exists(exe) and os.path.exists(baseline)):
            continue
        with tempfile.TemporaryDirectory() as folder:
            stripped = os.path.join(folder, 'idle_baseline.exe')
            subprocess.run([f'{arch}-w64-mingw32-strip', '--strip-all', '-o', stripped, baseline],
                           check=True, env=dict(os.environ, SOURCE_DATE_EPOCH='0'))
            result[arch] = (os.path.getsize(exe), os.path.getsize(stripped))
        say(f'  {arch:7s} MoodRelayer.exe {result[arch][0]:7d} bytes, '
            f'idle_baseline.exe {result[arch][1]:7d} bytes')
    return result


RELAYS = (
    # name, window class, how it is started (None: the program)
    ('program', 'SkypeSR', None),
    ('baseline', 'MrRelayBaseline', [RELAY_BASELINE, USER, PASSWORD]),
    ('baseline on a thread', 'MrRelayBaselineThread', [RELAY_BASELINE, USER, PASSWORD, '--thread']),
)


def relay_latency(moods, arch, exe):
    say(f'== relay latency of the {arch} program: notification sent to complete POST '
        f'received, {moods} moods each')
    service = start_service(user=USER, password=PASSWORD)
    sim = SkypeSim(status=0).start()
    program = Program({'username': USER, 'password': PASSWORD}, env=service.env, exe=exe).start()
    baselines = []
    latencies = {name: [] for name, _, _ in RELAYS}
    first_request = {name: [] for name, _, _ in RELAYS}
    try:
        windows = {}
        for name, class_name, args in RELAYS:
            if args:
                baselines.append((start_wine(args, env=service.env), class_name))
            windows[name] = wait_until(lambda: attached_from(sim, class_name), 30, 0.2)
            if not windows[name]:
                raise RuntimeError(f'the {name} did not attach')
        time.sleep(2)  # the program's start-up fetch and popup are over
        for number in range(moods):
            # By turns, so that a busy moment of the machine hits all alike.
            turn = number % len(RELAYS)
            for name, _, _ in RELAYS[turn:] + RELAYS[:turn]:
                sim.clear_log()
                sim.target(windows[name])
                before = len(service.requests(path=UPDATE))
                sim.mood(MOOD)
                # the challenged first send, then the one with the credentials
                got = service.wait_for(before + 2, timeout=20, path=UPDATE)
                if len(got) < before + 2 or not got[-1].authorized:
                    raise RuntimeError(f'no post from the {name} within 20 s')
                sent = int([e for e in sim.log() if e.kind == 'sent'][-1]['wall']) / 1e6
                latencies[name].append(got[-1].time - sent)
                first_request[name].append(got[-2].time - sent)
                time.sleep(0.05)
        bodies = {r.body for r in service.requests(path=UPDATE, authorized=True)}
        if len(bodies) != 1:
            raise RuntimeError(f'the relays posted different bodies: {bodies}')
    finally:
        program.close()
        for process, class_name in baselines:
            close_window_program(process, class_name)
        sim.close()
        service.stop()
    result = {name: (median(values) * 1000, percentile(values, 0.95) * 1000, len(values),
                     median(first_request[name]) * 1000)
              for name, values in latencies.items()}
    for name, _, _ in RELAYS:
        med, p95, count, first = result[name]
        say(f'  {name:21s} median {med:7.2f} ms   95th percentile {p95:7.2f} ms   '
            f'(first, challenged request in {first:.2f} ms; {count} moods)')
    for name in ('baseline', 'baseline on a thread'):
        say(f'  ratio to the {name:21s} median {result["program"][0] / result[name][0]:5.2f}   '
            f'95th percentile {result["program"][1] / result[name][1]:5.2f}')
    return result


def idle_cost(windows):
    say(f'== idle cost: {windows} windows of {POLL_PERIOD:.0f} s (one poll each), '
        'polls answered 304')
    service = start_service(user=USER, password=PASSWORD)
    service.conditional = 'always'
    sim = SkypeSim(status=0).start()
    program = Program({'username': USER, 'password': PASSWORD}, env=service.env).start()
    baseline = start_wine([IDLE_BASELINE])
    server = wineserver_pid()
    samples = []
    try:
        if not wait_until(lambda: attached_from(sim, 'SkypeSR'), 30, 0.2):
            raise RuntimeError('the program did not attach')
        find_window('MrIdleBaseline', '', 10000)
        time.sleep(8)  # the start-up popup has slid up and down again
        # the programs' own processes, never a loader in front of them
        pids = {'program': program.pid(), 'baseline': program_pid(baseline, IDLE_BASELINE),
                'wineserver': server}
        for _ in range(windows):
            before = {who: cpu_seconds(pid) for who, pid in pids.items() if pid}
            started = time.monotonic()
            time.sleep(POLL_PERIOD)
            elapsed = time.monotonic() - started
            sample = {who: (cpu_seconds(pid) - before[who]) * 60.0 / elapsed
                      for who, pid in pids.items() if pid}
            for who in ('program', 'baseline'):
                sample[who + '_rss'], sample[who + '_anon'] = resident_kib(pids[who])
            samples.append(sample)
            say(f'  window: program {sample["program"]:.4f} s/min, baseline '
                f'{sample["baseline"]:.4f} s/min, wineserver {sample.get("wineserver", 0):.3f}'
                f' s/min; RSS {sample["program_rss"]} / {sample["baseline_rss"]} KiB')
        polls = [r for r in service.requests(authorized=True) if r.path != UPDATE]
        if not all(r.status == 304 for r in polls[2:]):
            raise RuntimeError('a poll was not answered 304')
    finally:
        program.close()
        close_window_program(baseline, 'MrIdleBaseline')
        sim.close()
        service.stop()
    result = {key: median([s[key] for s in samples if key in s]) for key in samples[0]}
    ratio = (f'{result["program"] / result["baseline"]:.0f}' if result['baseline'] > 0
             else 'none: the baseline never ran')
    say(f'  program   CPU {result["program"]:.4f} s/min   RSS {result["program_rss"]:.0f} KiB '
        f'(anonymous {result["program_anon"]:.0f} KiB)')
    say(f'  baseline  CPU {result["baseline"]:.4f} s/min   RSS {result["baseline_rss"]:.0f} KiB '
        f'(anonymous {result["baseline_anon"]:.0f} KiB)')
    say(f'  ratio     CPU {ratio}   RSS {result["program_rss"] / result["baseline_rss"]:.2f}')
    if 'wineserver' in result:
        say(f'  wineserver meanwhile {result["wineserver"]:.3f} s/min (all of the prefix\'s '
            'processes; the program is the only one with timers)')
    result['ratio_text'] = ratio
    return result


# ---- the report

def command_output(args):
    try:
        done = subprocess.run(args, capture_output=True, text=True, timeout=30,
                              stdin=subprocess.DEVNULL)
        return (done.stdout or done.stderr).strip().splitlines()[0]
    except (OSError, IndexError, subprocess.TimeoutExpired):
        return 'unknown'


def machine():
    model = 'unknown'
    with open('/proc/cpuinfo') as f:
        for line in f:
            if line.startswith('model name'):
                model = line.split(':', 1)[1].strip()
                break
    with open('/proc/meminfo') as f:
        memory = int(f.readline().split()[1]) // 1024
    try:
        with open('/etc/debian_version') as f:
            debian = 'Debian ' + f.read().strip()
    except OSError:
        debian = platform.platform()
    try:
        with open(os.path.join(ROOT, 'build', 'i386.txt')) as f:
            i386 = f.read().strip()  # natively or through QEMU's user mode (about 5x slower)
    except OSError:
        i386 = 'not known'
    return [
        ('CPU', f'{model}, {os.cpu_count()} cores'),
        ('Memory', f'{memory} MiB'),
        ('System', f'{debian}, Linux {platform.release()}'),
        ('Wine', command_output(['wine', '--version'])),
        ('MinGW-w64', command_output(['x86_64-w64-mingw32-g++-posix', '--version'])),
        ('Native compiler', command_output(['g++', '--version'])),
        ('32-bit programs', i386),
    ]


def write_doc(path, info, load, native, paint, startup, latency, idle, options, sizes, answer):
    moods = latency['x86_64']['program'][2]
    lines = [
        '# MoodRelayer benchmarks',
        '',
        'Written by `scripts/bench`; every figure is the median over the runs named beside',
        'it. The figures are taken on a **shared machine**: two cores that other builds,',
        'tests and fuzzers use at the same time, so absolute times move from run to run.',
        'The ratios against a baseline measured in the same run, by turns with the',
        'program or side by side with it, are the figures to compare.',
        '',
        f'Taken {datetime.datetime.now().strftime("%Y-%m-%d %H:%M")}; load average '
        f'{load[0]} at the start, {load[1]} at the end.',
        '',
        '## Machine',
        '',
        '| | |',
        '|---|---|',
    ]
    lines += [f'| {name} | {value} |' for name, value in info]
    lines += [
        '',
        '## Relay latency',
        '',
        'From the chat-client simulator\'s `WM_COPYDATA` notification (its wall clock just',
        'before the send) to the fake service\'s receipt of the complete, authorized POST',
        '(its wall clock when the body has been read); both clocks are the machine\'s',
        'CLOCK_REALTIME. Each post is two round trips on a fresh connection: WinINet',
        'sends the POST, is challenged with 401 and sends it again with the credentials.',
        f'{moods} moods each, one at a time.',
        '`bench/relay_baseline.cpp` attaches as the program does and posts the same body',
        'with the same WinINet calls inside its window procedure (no thread, no copy);',
        'with `--thread` it posts on a new thread per mood, as the program does, which',
        'shows how much of the difference is the thread alone. All three run at once,',
        'attached to one simulator, and take the moods by turns.',
        '',
        'The 32-bit program is timed in a run of its own, against the same (64-bit)',
        'baselines started anew beside it.',
        '',
        '| | median | 95th percentile | to the first, challenged request |',
        '|---|---:|---:|---:|',
    ]
    for arch, run in latency.items():
        p, b, t = (run[k] for k in ('program', 'baseline', 'baseline on a thread'))
        lines += [
            f'| MoodRelayer.exe ({arch}) | {p[0]:.2f} ms | {p[1]:.2f} ms | {p[3]:.2f} ms |',
            f'| relay_baseline.exe | {b[0]:.2f} ms | {b[1]:.2f} ms | {b[3]:.2f} ms |',
            f'| relay_baseline.exe --thread | {t[0]:.2f} ms | {t[1]:.2f} ms | {t[3]:.2f} ms |',
            f'| **ratio to the baseline** | **{p[0] / b[0]:.2f}** | **{p[1] / b[1]:.2f}** | |',
            f'| ratio to the baseline on a thread | {p[0] / t[0]:.2f} | {p[1] / t[1]:.2f} | |',
        ]
    lines += [
        '',
        '## Idle cost',
        '',
        'The program attached to the simulator, every poll answered 304, against',
        '`bench/idle_baseline.cpp` (one hidden window and a message loop) running at the',
        'same time under the same wineserver. CPU is the time on a CPU of all the',
        'process\'s threads (`/proc/PID/task/*/schedstat`, in nanoseconds) over windows',
        f'of {POLL_PERIOD:.0f} s (each holds one poll), as seconds per minute; median of',
        f'{options.idle_windows} windows. Memory is VmRSS (RssAnon, the anonymous part, in',
        'brackets) at the end of each window. The program wakes for its 1-second poll',
        'tick and its 300 ms discovery tick (which goes on after the attach, doing',
        'nothing), about 260 times a minute; the baseline sleeps in GetMessage and is',
        'not scheduled at all. The work Wine\'s server does for the program\'s wake-ups',
        'is not in the process\'s figure; the server\'s own time over the same windows',
        '(all of the prefix\'s processes, of which only the program has timers) is',
        'given below the table.',
        '',
        '| | CPU per minute | resident memory |',
        '|---|---:|---:|',
        f'| MoodRelayer.exe | {idle["program"]:.4f} s | {idle["program_rss"]:.0f} KiB '
        f'({idle["program_anon"]:.0f} KiB) |',
        f'| idle_baseline.exe | {idle["baseline"]:.4f} s | {idle["baseline_rss"]:.0f} KiB '
        f'({idle["baseline_anon"]:.0f} KiB) |',
        f'| **ratio** | **{idle["ratio_text"]}** | '
        f'**{idle["program_rss"] / idle["baseline_rss"]:.2f}** |',
        '',
    ]
    if 'wineserver' in idle:
        lines += [f'wineserver over the same windows: {idle["wineserver"]:.3f} s per minute.', '']
    lines += [
        '## Start-up',
        '',
        'From the launch (its Wine loader started, wall clock just before it) to the tray',
        'icon being held by the shell (`winhelper waittray`, which looks every 2 ms and',
        'was started a second before). The program adds its icon before it starts its',
        'first timeline request, which is not in this figure. Baseline:',
        '`idle_baseline.exe --tray`, a hidden window and a tray icon.',
        'Both programs and the baseline by turns.',
        '',
        '| | launch to tray icon | ratio to the baseline |',
        '|---|---:|---:|',
    ]
    for arch, (program, baseline, count, _) in startup.items():
        lines.append(f'| MoodRelayer.exe ({arch}), {count} runs | {program * 1000:.0f} ms | '
                     f'**{program / baseline:.2f}** |')
    baseline, baseline_count = next(iter(startup.values()))[1::2]
    lines += [
        f'| idle_baseline.exe --tray, {baseline_count} runs | {baseline * 1000:.0f} ms | |',
        '',
        '## Start-up: launch to the message loop answering',
        '',
        'From the launch until a message sent to the main window (WM_NULL, by',
        '`winhelper send`) returns: the program answers its user. With a service that',
        'answers the timeline at once, and with one that never answers it (the request',
        'runs on a thread of its own, so the program does not wait for it; when it ran',
        'on the main thread before the loop, this was the whole 15-second timeout of',
        'each of its sends). The figure includes the start of the helpers that look.',
        '',
        '| | service answers | service hangs |',
        '|---|---:|---:|',
    ]
    for arch in sorted({a for a, _ in answer}):
        fast, fast_runs = answer[(arch, False)]
        hung, hung_runs = answer[(arch, True)]
        lines.append(f'| MoodRelayer.exe ({arch}) | {fast * 1000:.0f} ms ({fast_runs} runs) | '
                     f'{hung * 1000:.0f} ms ({hung_runs} runs) |')
    lines += [
        '',
        '## Size of the exe as it ships',
        '',
        'The exe as the tests run it and `scripts/release` ships it (optimised for',
        'size, stripped), beside `bench/idle_baseline.cpp` (one hidden window and a',
        'message loop) built with the same flags and stripped alike. Targets: the',
        '32-bit exe at most 100 KB, the 64-bit one at most 128 KB.',
        '',
        '| | MoodRelayer.exe | bare hidden-window program | target |',
        '|---|---:|---:|---:|',
    ]
    for arch, (size, bare) in sizes.items():
        target = 100 * 1024 if arch == 'i686' else 128 * 1024
        lines.append(f'| {arch} | {size:,} bytes | {bare:,} bytes | {target:,} bytes |')
    lines += [
        '',
        '## Native throughput on a 64 KB document',
        '',
        'The existing benchmark programs `bench/char_refs_bench.cpp` and',
        '`bench/status_list_bench.cpp`, built in `build/bench` (CMake Release,',
        f'without the sanitizers); median of {options.runs} runs.',
        '',
        '| | throughput | time |',
        '|---|---:|---:|',
    ]
    lines += [f'| {name} | {throughput} | {per} |' for name, throughput, per in native]
    lines += [
        '',
        '## One popup frame under Wine',
        '',
        '`bench/paint_bench.cpp` (500 rounds per figure after a warm-up) on the',
        f'Xvfb display; median of {options.runs} runs. A slide tick comes every 20 ms; the',
        'moving tick (move by 5 px, then the whole paint with font creation and text',
        'measuring) is the cost of one frame of the slide.',
        '',
        '| | per frame |',
        '|---|---:|',
    ]
    # paint_bench indents the parts of one paint
    lines += [f'| {"part of a paint: " if name.startswith(" ") else ""}{name.strip()} | '
              f'{value:.1f} us |' for name, value in paint]
    lines += [
        '',
        '## How to reproduce',
        '',
        '    scripts/bench                      # about six minutes; writes this file',
        '    scripts/bench --quick              # fewer runs, for a look',
        '',
        '`scripts/bench` builds (`scripts/build`, which also makes the sanitizer-free',
        'native build in `build/bench`), starts an Xvfb display and a Wine prefix of its',
        'own (`build/bench-prefix`) and runs `bench/bench.py`. Options:',
        '`--idle-windows N` (default 3), `--moods N` (default 50), `--runs N` (default 5),',
        '`--only native|paint|startup|relay|idle|size`, `--no-doc`. The driver uses the',
        'scenario fixtures: the fake service (`tests/e2e/service.py`) and the chat-client',
        'simulator (`tests/e2e/skype_sim.py`).',
        '',
    ]
    with open(path, 'w') as f:
        f.write('\n'.join(lines))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--quick', action='store_true', help='fewer runs, no document')
    parser.add_argument('--runs', type=int, default=5)
    parser.add_argument('--moods', type=int, default=50)
    parser.add_argument('--idle-windows', type=int, default=3)
    parser.add_argument('--no-doc', action='store_true')
    parser.add_argument('--only', choices=['native', 'paint', 'startup', 'relay', 'idle', 'size'],
                        help='one measurement only, no document')
    options = parser.parse_args()
    if options.quick:
        options.runs, options.moods, options.idle_windows, options.no_doc = 2, 10, 1, True
    if options.only:
        options.no_doc = True
    load_start = f'{os.getloadavg()[0]:.2f}'
    say(f'bench: shared machine, load average {load_start}; medians over repeated runs')
    wanted = ({options.only} if options.only else
              {'native', 'paint', 'startup', 'relay', 'idle', 'size'})
    native = native_benches(options.runs) if 'native' in wanted else None
    paint = paint_bench(options.runs) if 'paint' in wanted else None
    startup = start_up(max(options.runs, 3) + 2) if 'startup' in wanted else None
    answer = answering(max(options.runs, 3)) if 'startup' in wanted else None
    sizes = exe_sizes() if 'size' in wanted else None
    latency = ({arch: relay_latency(options.moods, arch, exe) for arch, exe in programs()}
               if 'relay' in wanted else None)
    idle = idle_cost(options.idle_windows) if 'idle' in wanted else None
    load_end = f'{os.getloadavg()[0]:.2f}'
    say(f'bench: load average {load_end} at the end')
    if not options.no_doc:
        path = os.path.join(ROOT, 'docs', 'benchmarks.md')
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write_doc(path, machine(), (load_start, load_end), native, paint, startup, latency, idle,
                  options, sizes, answer)
        say(f'bench: wrote {os.path.relpath(path, ROOT)}')


if __name__ == '__main__':
    main()

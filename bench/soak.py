"""The soak run behind scripts/soak: the program under Wine for a while against
the local service, with a mood change through the chat-client simulator every
10 seconds and the timeline polls answered 304 and 200 by turns. Every minute
it prints the process's resident memory and thread count.

It fails when a mood was lost (or posted twice), when the program died, or when
its resident anonymous memory (the heap, where a leak shows) grew by more than
MEMORY_LIMIT_KIB between the first sample after the first poll and the end.
File-backed pages (the mapped DLLs) are printed too but not judged: the kernel
may drop and reload them whenever the machine is short of memory.

    python3 bench/soak.py MINUTES      (scripts/soak sets up Wine and the display)
"""
import os
import sys
import time
import urllib.parse

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'e2e'))
from harness import Program, wait_until  # noqa: E402
from service import GETS_PER_FETCH, TIMELINE, UPDATE, start_service  # noqa: E402
from skype_sim import SkypeSim  # noqa: E402

USER, PASSWORD = 'soak_user', 'soak-password'
MOOD_PERIOD = 10.0
SAMPLE_PERIOD = 60.0
MEMORY_LIMIT_KIB = 384
PROTOCOL_5 = b'PROTOCOL 5\0'


def mood_text(number):
    """Unique, and of several kinds: plain, Latin-1 bytes, UTF-8 Japanese,
    characters that get escaped, and a long one near the body's limit."""
    head = b'soak %05d ' % number
    kind = number % 5
    if kind == 1:
        return head + b'caf\xe9 cr\xe8me br\xfbl\xe9e'
    if kind == 2:
        return head + '今日は良い天気です'.encode('utf-8')
    if kind == 3:
        return head + b'Tom & Jerry: 100% <fun> + more/less ~ "quotes"'
    if kind == 4:
        return head + b'long ' + b'abcdefghij' * 80
    return head + b'just a mood'


def posted_text(body):
    """The mood text a status body carries: 'status=' + encoded text + ' '."""
    if not body.startswith(b'status=') or not body.endswith(b' '):
        return None
    return urllib.parse.unquote_to_bytes(body[7:-1].replace(b'+', b' '))


def timeline(number):
    """A fresh document for the next 200: 5 to 20 statuses, some Japanese."""
    statuses = []
    for i in range(5 + number % 16):
        text = f'update {number}.{i}: ' + ('こんにちは世界' if i % 3 == 0 else 'tea & cake <3')
        statuses.append((f'friend{i}', text))
    return statuses


def memory(pid):
    """VmRSS, RssAnon, RssFile (KiB) and the thread count of a process."""
    fields = {}
    with open(f'/proc/{pid}/status') as f:
        for line in f:
            name, _, value = line.partition(':')
            fields[name] = value.split()[0] if value.split() else ''
    return (int(fields['VmRSS']), int(fields['RssAnon']), int(fields['RssFile']),
            int(fields['Threads']))


def polls(service):
    """The program's polls so far (start-up fetch excluded), each the status
    of the answer it read: every fetch is GETS_PER_FETCH authorized GETs."""
    gets = service.requests(path=TIMELINE, authorized=True)
    answers = [r.status for r in gets[GETS_PER_FETCH - 1::GETS_PER_FETCH]]
    return [a for a in answers[1:] if a is not None]


def main(minutes):
    service = start_service(user=USER, password=PASSWORD)
    sim = SkypeSim(status=0).start()
    program = Program({'username': USER, 'password': PASSWORD}, env=service.env).start()
    started = time.monotonic()
    pid = program.pid()  # the program's own process, never a loader in front of it
    end = started + minutes * 60.0 + 2.0  # the last minute's sample included
    failures = []
    sent = []
    samples = []
    documents = 0
    try:
        if not sim.wait_for(lambda: [e for e in sim.commands_received()
                                     if e.data == PROTOCOL_5], 30):
            print('soak: the program never attached to the simulated client')
            return 1
        print(f'soak: {minutes} min; program pid {pid}, service {service.proxy}; '
              f'a mood every {MOOD_PERIOD:.0f} s, a sample every {SAMPLE_PERIOD:.0f} s')
        print(f'{"min":>5} {"VmRSS KiB":>10} {"RssAnon KiB":>12} {"RssFile KiB":>12} '
              f'{"threads":>8} {"polls 200/304":>14} {"moods sent/posted":>18}')
        seen_polls = 0
        next_mood = time.monotonic()
        next_sample = started + SAMPLE_PERIOD
        while time.monotonic() < end:
            if not program.running():
                failures.append('the program ended during the run')
                break
            now = time.monotonic()
            if now >= next_mood:
                text = mood_text(len(sent))
                sim.mood(text)
                sent.append(text)
                next_mood += MOOD_PERIOD
                # The sample comes when the post is in and its thread gone.
                service.wait_for(len(sent), timeout=5, path=UPDATE, authorized=True)
            answered = polls(service)
            for status in answered[seen_polls:]:
                if status == 304:
                    documents += 1
                    service.set_timeline(timeline(documents))
            seen_polls = len(answered)
            if time.monotonic() >= next_sample:
                time.sleep(0.5)
                rss, anon, file_backed, threads = memory(pid)
                posted = len(service.requests(path=UPDATE, authorized=True))
                after_poll = len(answered) > 0
                samples.append((rss, anon, file_backed, threads, after_poll))
                minute = (time.monotonic() - started) / 60.0
                print(f'{minute:5.1f} {rss:10d} {anon:12d} {file_backed:12d} {threads:8d} '
                      f'{answered.count(200):>7d}/{answered.count(304):<6d} '
                      f'{len(sent):>9d}/{posted:<8d}', flush=True)
                next_sample += SAMPLE_PERIOD
            time.sleep(max(0.05, min(next_mood, next_sample, end) - time.monotonic()))

        service.wait_for(len(sent), timeout=20, path=UPDATE, authorized=True)
        time.sleep(1)
        texts = [posted_text(r.body) for r in service.requests(path=UPDATE, authorized=True)]
        lost = [t for t in sent if texts.count(t) == 0]
        twice = [t for t in sent if texts.count(t) > 1]
        strange = [t for t in texts if t not in sent]
        answered = polls(service)
        print(f'soak: {len(sent)} moods sent, {len(texts)} posts received, {len(lost)} lost, '
              f'{len(twice)} posted more than once, {len(strange)} not sent by us')
        other = len(answered) - answered.count(200) - answered.count(304)
        print(f'soak: {len(answered)} polls, {answered.count(200)} answered 200, '
              f'{answered.count(304)} answered 304, {other} other')
        if lost:
            failures.append(f'{len(lost)} moods lost, first {lost[0]!r}')
        if twice:
            failures.append(f'{len(twice)} moods posted more than once, first {twice[0]!r}')
        if strange:
            failures.append(f'{len(strange)} posts of texts never sent, first {strange[0]!r}')
        if not answered.count(200) or not answered.count(304):
            failures.append('the polls were not answered 200 and 304 by turns')

        after = [s for s in samples if s[4]]
        if len(after) < 2:
            failures.append('too short: fewer than two samples after the first poll')
        else:
            first, last = after[0], after[-1]
            peak = max(s[1] for s in after)
            growth = last[1] - first[1]
            print(f'soak: after the first poll: RssAnon {first[1]} -> {last[1]} KiB '
                  f'(growth {growth:+d} KiB, peak {peak} KiB, limit {MEMORY_LIMIT_KIB}); '
                  f'VmRSS {first[0]} -> {last[0]} KiB; '
                  f'threads {first[3]} -> {last[3]} (range {min(s[3] for s in after)}'
                  f'-{max(s[3] for s in after)})')
            if growth > MEMORY_LIMIT_KIB:
                failures.append(f'resident anonymous memory grew by {growth} KiB')
        if program.running() and not wait_until(lambda: program.main_window(2000), 5):
            failures.append('the program\'s main window is gone')
    finally:
        program.close()
        sim.close()
        service.stop()
    for failure in failures:
        print('soak: FAIL:', failure)
    print('soak:', 'FAILED' if failures else 'passed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(float(sys.argv[1]) if len(sys.argv) > 1 else 30.0))

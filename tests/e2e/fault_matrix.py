"""The fault matrix: one row per fault, each row checked the same way.

Every row, once its fault is over, asserts that the program still runs, that
its tray menu opens within 2 s, that nothing reached the service twice and,
where the service was reachable, that the mood sent during the row reached it.
The rows live in test_fault_matrix_*.py; this module holds the table of
service faults and what the rows share.

    class MyRows(MatrixCase):
        def test_rows(self):
            svc, sim, program, window = self.start_attached()
            for name, fault in SERVICE_FAULTS:
                with self.row(name):
                    ...

Threads are counted as Linux threads of the Wine process (/proc/PID/task),
leaving out the helper threads Wine starts on its own, which it names
"wine_..." (WinINet's collector of idle connections comes and goes by itself).
"""
import contextlib
import os
import sys
import time

from harness import ScenarioCase, WinHelperError, wait_until, wh
from service import UPDATE, start_service, timeline_xml
from skype_sim import start_sim
from tray_menu import menu_opens

ACCOUNT = {'username': 'alice', 'password': 'secret'}

REFUSED = 'connection refused'
DELAY_20 = '20-second delay'
DELAY_60 = '60-second delay'
# The program's connect, send and receive timeouts.
TIMEOUT = 15

HTML_500 = (b'<!DOCTYPE html>\n<html><head><title>Twitter / Over capacity</title></head>\n'
            b'<body><h1>500 Internal Server Error</h1><p>Something is technically wrong.'
            b'</p></body></html>\n')
# Every byte value, zero and '<' included, in no order a parser could like.
JUNK = bytes((i * 167 + 13) & 0xFF for i in range(8192))
MALFORMED_XML = (b'<?xml version="1.0" encoding="UTF-8"?>\n<statuses type="array">\n'
                 b'<status><text>no end &#; &#99999999999; &#-5; &amp</tex>\n'
                 b'<screen_name></text><text><screen_name x="1">bob</screen_name>\n'
                 b'</status><status><text>cut off at the end <scr')
THOUSAND_STATUSES = timeline_xml(
    [(f'user{i}', f'status number {i} caf\u00e9 \u3042') for i in range(1000)])
# One status whose text alone is 300 KB: far past every field and buffer.
BODY_300_KB = (b'<?xml version="1.0" encoding="UTF-8"?>\n<statuses type="array">\n'
               b'<status><text>' + b'&#12354;a' * (300 * 1024 // 9) +
               b'</text><user><screen_name>big</screen_name></user></status>\n</statuses>\n')

# One row per fault of an answer, for either request. The delays, the
# refusal and the POST-only 60-second delay are handled by the rows that use them.
SERVICE_FAULTS = [
    (REFUSED, None),
    ('401 with a Basic challenge', {'status': 401, 'headers': {
        'WWW-Authenticate': 'Basic realm="Twitter API"', 'Content-Type': 'application/json'},
        'body': b'{"error":"Could not authenticate you."}'}),
    ('500 with an HTML body', {'status': 500, 'headers': {'Content-Type': 'text/html'},
                               'body': HTML_500}),
    (DELAY_20, {'delay': 20}),
    (DELAY_60, {'delay': 60}),
    ('connection dropped mid-body', {'drop': 'body'}),
    ('no Content-Length', {'content_length': 'omit'}),
    ('Content-Length -1', {'content_length': '-1'}),
    ('Content-Length 0 with a body', {'content_length': '0'}),
    ('Content-Length 2147483647', {'content_length': '2147483647'}),
    ('Content-Length 99999999999', {'content_length': '99999999999'}),
    ('300 KB body', {'body': BODY_300_KB}),
    ('body of binary junk', {'body': JUNK}),
    ('malformed XML', {'body': MALFORMED_XML}),
    ('timeline of 1,000 statuses', {'body': THOUSAND_STATUSES}),
    ('304 to an unconditional request', {'status': 304}),
]

_KEPT = set(b'0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz*-.@_')


def status_body(text):
    """The body the program posts for a mood text that fits (bytes or str)."""
    if isinstance(text, str):
        text = text.encode('latin-1')
    encoded = b''.join(b'+' if c == 0x20 else bytes([c]) if c in _KEPT else b'%%%02X' % c
                       for c in text)
    return b'status=' + encoded + b' '


def mood_text(prefix, name):
    """A mood text that names its row and stays the same once encoded."""
    return prefix + '_' + ''.join(c if c.isalnum() else '_' for c in name)


def tray_tip():
    """The tray icon's tooltip as Wine's tray shows it on hover (line ends as
    a literal \\n), or None when none showed."""
    try:
        return wh('tip', 3000)
    except WinHelperError:
        return None


def tray_balloon(within_ms):
    """(hwnd, text) of a tray balloon shown within the time, or None. Wine's
    tray shows a balloon 2 s after it is asked for, as a window of its own."""
    try:
        hwnd, _, text = wh('balloon', within_ms).partition(' ')
        return hwnd, text
    except WinHelperError:
        return None


def own_thread_ids(program):
    """The program's own threads now, as a set of Linux thread ids of its Wine
    process without Wine's named helpers; None once the process is gone."""
    try:
        pid = program.pid()
    except ProcessLookupError:
        if program.running():
            raise  # never count another process's threads as the program's
        return None
    ids = set()
    try:
        for tid in os.listdir(f'/proc/{pid}/task'):
            try:
                with open(f'/proc/{pid}/task/{tid}/comm') as f:
                    if not f.read().startswith('wine_'):
                        ids.add(int(tid))
            except (FileNotFoundError, ProcessLookupError):
                pass  # the thread ended meanwhile (ESRCH when it ends while read)
    except FileNotFoundError:
        return None
    return ids


def own_threads(program):
    """How many threads of its own the program has now (None once it is gone)."""
    ids = own_thread_ids(program)
    return None if ids is None else len(ids)


class MatrixCase(ScenarioCase):

    @contextlib.contextmanager
    def row(self, name, check=None):
        """One row (or one later check of it): a subtest named after it, and
        a line with its time."""
        start = time.monotonic()
        names = {'row': name, 'check': check} if check else {'row': name}
        with self.subTest(**names):
            yield
        print(f'  row {name!r}{f" ({check})" if check else ""}: '
              f'{time.monotonic() - start:.1f} s', file=sys.stderr, flush=True)

    def start_program(self, svc, sim=None, env=None):
        """The program against the service; with a simulator, waits until it
        is attached. Returns the program and its main window."""
        if sim:
            sim.clear_log()
        program = self.program(ACCOUNT, env=env or svc.env).start()
        try:
            window = program.main_window()
            self.assertIsNotNone(window, 'no main window')
            self.assertTrue(program.running(),
                            'the program ended at once (another copy running?)')
            program.pid()  # the threads counted must be the program's own: raises if not found
            if sim:
                self.assertTrue(sim.wait_for(lambda: sim.commands_received(), 20),
                                'the program did not attach to the simulator')
        except BaseException:
            program.close()  # or the next row would meet it as a second copy
            raise
        return program, window

    def start_attached(self):
        svc = start_service(self)
        sim = start_sim(self, status=0)
        program, window = self.start_program(svc, sim)
        return svc, sim, program, window

    def received(self, svc, text):
        """The posts of this mood text that reached the service with the account."""
        body = status_body(text)
        return [r for r in svc.requests(path=UPDATE, method='POST', authorized=True)
                if r.body == body]

    def wait_received(self, svc, text, timeout=10, answered=True):
        body = status_body(text)
        wait_until(lambda: [r for r in svc.requests(path=UPDATE, method='POST', authorized=True)
                            if r.body == body and (not answered or r.status is not None)],
                   timeout, 0.05)
        return self.received(svc, text)

    def wait_idle(self, program, idle, timeout):
        """Waits until the program is back to its idle number of threads."""
        return wait_until(lambda: own_threads(program) is not None and
                          own_threads(program) <= idle, timeout, 0.1)

    def assert_alive_and_menu_opens(self, program, window):
        self.assertTrue(program.running(), 'the program has ended')
        self.assertTrue(menu_opens(window), 'the tray menu did not open within 2 s')

"""Shared pieces of the end-to-end scenarios: the real MoodRelayer.exe under Wine.

scripts/test starts Xvfb and a persistent wineserver and exports DISPLAY,
WINEPREFIX and friends; the scenarios only start programs. Each scenario runs
the program from a fresh folder with its own copy of the exe, so the settings
file beside it is the scenario's own.
"""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

SOURCE = os.environ.get('MR_SOURCE_DIR') or os.path.dirname(
    os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The build whose program is under test (x86_64 or i686), and the build of the
# test world that runs beside it (the 64-bit one, unless told otherwise).
BUILD = os.environ.get('MR_BUILD_DIR') or os.path.join(SOURCE, 'build', 'windows')
PEERS = os.environ.get('MR_PEERS_DIR') or BUILD
PROGRAM = os.path.join(BUILD, 'MoodRelayer.exe')
WINHELPER = os.path.join(PEERS, 'winhelper.exe')

# Where the program's web requests go when a scenario has no service running:
# a loopback port nobody listens on, so they fail at once instead of waiting
# on a name lookup.
NO_SERVICE_PROXY = 'http://127.0.0.1:9'

WM_COMMAND = 0x0111
WM_KEYDOWN = 0x0100
TRAY_CALLBACK = 0x8001
TRAY_ICON_ID = 1001
EXIT_COMMAND = 1003
SETTINGS_COMMAND = 40001


WINE64_LOADER = '/usr/lib/wine/wine64'


def pe_machine(exe):
    """The machine field of a Windows program's PE header: 0x14c i386, 0x8664 x86_64."""
    with open(exe, 'rb') as f:
        header = f.read(4096)
    at = int.from_bytes(header[0x3c:0x40], 'little')
    if header[:2] != b'MZ' or header[at:at + 4] != b'PE\0\0':
        raise ValueError(f'{exe} is not a Windows program')
    return int.from_bytes(header[at + 4:at + 6], 'little')


def wine_command(exe, *args):
    """The command line that runs a Windows program under Wine. A 64-bit program
    goes to the 64-bit loader: through plain `wine` it would run as a child of a
    32-bit loader that stays alive, and the process we started (its pid, its
    threads and memory, a kill) would be that loader instead of the program."""
    loader = 'wine'
    if os.path.exists(WINE64_LOADER) and os.path.exists(exe) and pe_machine(exe) == 0x8664:
        loader = WINE64_LOADER
    return [loader, str(exe), *[str(a) for a in args]]


def program_pid(process, exe, timeout=10.0):
    """The Linux pid of the Windows program at the Unix path `exe` that `process`
    started: the process itself, or wherever a loader left the program to.
    Wine names a process after its program's path (as given, or as Z:\\...),
    which is unique here: every scenario runs its own copy. Raises rather than
    give the pid of another process."""
    wanted = os.path.abspath(exe).lower().encode()
    # Under QEMU's user mode (where the machine runs no i386 programs itself) a
    # 32-bit program's process shows QEMU's command line: qemu-i386, the Wine
    # loader, the program.
    emulated = pe_machine(exe) == 0x14c

    def runs_it(pid):
        try:
            with open(f'/proc/{pid}/cmdline', 'rb') as f:
                args = f.read().lower().split(b'\0')
        except OSError:
            return False
        if emulated and os.path.basename(args[0]).startswith(b'qemu-') and len(args) > 2:
            args = args[2:]
        first = args[0]
        if first.startswith(b'z:'):
            first = first[2:].replace(b'\\', b'/')
        return os.path.normpath(first) == wanted

    # Until Wine has set the process up, its command line is the loader's.
    deadline = time.monotonic() + timeout
    while True:
        if runs_it(process.pid):
            return process.pid
        found = [int(p) for p in os.listdir('/proc') if p.isdigit() and runs_it(p)]
        if len(found) == 1:
            return found[0]
        if len(found) > 1 or time.monotonic() >= deadline or process.poll() is not None:
            raise ProcessLookupError(f'{len(found)} processes run {exe}')
        time.sleep(0.05)


def wine(*args, timeout=30, env=None):
    """Runs a Windows console program under Wine and returns its completed process."""
    return subprocess.run(wine_command(*args), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          timeout=timeout, env=env)


def wh(*args, timeout=30):
    """winhelper: its standard output, stripped; raises on a failed call."""
    done = wine(WINHELPER, *args, timeout=timeout)
    if done.returncode != 0:
        raise WinHelperError(f'winhelper {" ".join(map(str, args))} -> {done.returncode}')
    return done.stdout.decode('latin-1').strip()


class WinHelperError(Exception):
    pass


def find_window(class_name, title='', timeout_ms=5000):
    """The handle (as text) of a top-level window, or None."""
    try:
        return wh('find', class_name, title, timeout_ms)
    except WinHelperError:
        return None


def list_windows(class_name=None):
    """Top-level windows as dicts: hwnd, cls, title, rect (l, t, r, b), visible."""
    out = wh('list', *([class_name] if class_name else []))
    windows = []
    for line in out.splitlines():
        head, title, tail = line.split('"', 2) if line.count('"') >= 2 else (line, '', '')
        hwnd, cls = head.split()[:2]
        numbers = tail.split()
        windows.append({'hwnd': hwnd, 'cls': cls, 'title': title,
                        'rect': tuple(int(n) for n in numbers[:4]),
                        'visible': numbers[4] == '1'})
    return windows


def wait_until(predicate, timeout=5.0, interval=0.05):
    """Polls predicate until it is truthy; returns its last value."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= end:
            return value
        time.sleep(interval)


class Program:
    """One MoodRelayer.exe in a folder of its own."""

    def __init__(self, settings=None, env=None, exe=None, folder_name=None):
        """exe: the build's MoodRelayer.exe unless another one is given.
        folder_name: a folder of that name inside the fresh one holds the exe."""
        self.root = tempfile.mkdtemp(prefix='mr-scenario-')
        self.folder = self.root
        if folder_name:
            self.folder = os.path.join(self.root, folder_name)
            os.mkdir(self.folder)
        self.exe = os.path.join(self.folder, 'MoodRelayer.exe')
        self.ini = os.path.join(self.folder, 'MoodRelayer.ini')
        shutil.copy(exe or PROGRAM, self.exe)
        if settings is not None:
            self.write_settings(settings)
        self.env = dict(os.environ)
        self.env.setdefault('http_proxy', NO_SERVICE_PROXY)
        self.env.update(env or {})
        self.process = None

    def write_settings(self, settings):
        """settings: raw bytes/str, or a dict of the two keys."""
        if isinstance(settings, dict):
            settings = '[MoodRelayer]\r\n' + ''.join(f'{k}={v}\r\n' for k, v in settings.items())
        if isinstance(settings, str):
            settings = settings.encode('latin-1')
        with open(self.ini, 'wb') as f:
            f.write(settings)

    def start(self):
        self.process = subprocess.Popen(wine_command(self.exe), cwd=self.folder,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, env=self.env)
        return self

    def pid(self):
        """The Linux pid of the program's own process (see program_pid)."""
        return program_pid(self.process, self.exe)

    def main_window(self, timeout_ms=10000):
        return find_window('MoodRelayer', 'MoodRelayer', timeout_ms)

    def wait_exit(self, timeout=10):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.process is not None and self.process.poll() is None

    def exit_through_menu_command(self, timeout=10):
        window = self.main_window(2000)
        if window:
            wh('post', window, WM_COMMAND, EXIT_COMMAND, 0)
        return self.wait_exit(timeout)

    def close(self):
        if self.running():
            if self.exit_through_menu_command(5) is None:
                self.process.kill()
                self.process.wait(5)
        shutil.rmtree(self.root, ignore_errors=True)


class ScenarioCase(unittest.TestCase):
    """Closes every program a scenario started, also when the scenario fails."""

    def program(self, settings=None, env=None, **kwargs):
        program = Program(settings, env, **kwargs)
        self.addCleanup(program.close)
        return program

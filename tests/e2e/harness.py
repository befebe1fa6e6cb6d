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

BUILD = os.environ.get('MR_BUILD_DIR') or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), '..', '..', 'build', 'windows')
SOURCE = os.environ.get('MR_SOURCE_DIR') or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), '..', '..')
PROGRAM = os.path.join(BUILD, 'MoodRelayer.exe')
WINHELPER = os.path.join(BUILD, 'winhelper.exe')

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


def wine(*args, timeout=30, env=None):
    """Runs a Windows console program under Wine and returns its completed process."""
    return subprocess.run(['wine', *[str(a) for a in args]], stdin=subprocess.DEVNULL,
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

    def __init__(self, settings=None, env=None):
        self.folder = tempfile.mkdtemp(prefix='mr-scenario-')
        self.exe = os.path.join(self.folder, 'MoodRelayer.exe')
        self.ini = os.path.join(self.folder, 'MoodRelayer.ini')
        shutil.copy(PROGRAM, self.exe)
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
        self.process = subprocess.Popen(['wine', self.exe], cwd=self.folder,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, env=self.env)
        return self

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
        shutil.rmtree(self.folder, ignore_errors=True)


class ScenarioCase(unittest.TestCase):
    """Closes every program a scenario started, also when the scenario fails."""

    def program(self, settings=None, env=None):
        program = Program(settings, env)
        self.addCleanup(program.close)
        return program

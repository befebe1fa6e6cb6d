"""Watching the timeline popup from outside: its window, a track of its slide,
and screenshots read back pixel by pixel."""
import os
import subprocess
import tempfile

from harness import WINHELPER, WinHelperError, list_windows, wh, wine_command

LIGHT_BLUE = (154, 190, 255)
CLIENT_EDGE = 2  # the sunken client edge takes two pixels on each side


def work_area():
    return tuple(int(n) for n in wh('workarea').split())


def popup():
    """The popup's window as list_windows describes it, or None."""
    windows = list_windows('fadeWindow')
    return windows[0] if windows else None


def standing(height=None, timeout=10.0):
    """The popup once it is visible, `height` pixels high (any height if None)
    and still for 100 ms; None if it is not within timeout seconds. The looks
    are taken by one winhelper process, so nothing can move unseen between them."""
    try:
        rect = wh('still', 'fadeWindow', height or 0, 100, int(timeout * 1000),
                  timeout=timeout + 30)
    except WinHelperError:
        return None
    window = popup()
    return dict(window, rect=tuple(int(n) for n in rect.split())) if window else None


def unmoved(window):
    """Whether the popup is still where `window` (from standing) saw it, visible."""
    now = popup()
    return bool(now and now['visible'] and now['rect'] == window['rect'])


class Tracker:
    """winhelper track: every change of the popup's place, visibility and of the
    foreground window, from before the program starts until the popup hides."""

    def __init__(self, test, limit_ms=15000):
        self.file = tempfile.NamedTemporaryFile(prefix='mr-track-', suffix='.txt', delete=False)
        test.addCleanup(os.unlink, self.file.name)
        self.process = subprocess.Popen(wine_command(WINHELPER, 'track', 'fadeWindow', limit_ms),
                                        stdin=subprocess.DEVNULL, stdout=self.file,
                                        stderr=subprocess.DEVNULL)
        test.addCleanup(self.stop)
        self.limit = limit_ms / 1000

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(5)

    def samples(self, timeout=None):
        """Waits for the track to end: [(ms, (l, t, r, b), visible, foreground)]."""
        self.process.wait(timeout or self.limit + 10)
        with open(self.file.name, 'rb') as f:
            lines = f.read().decode('latin-1').split('\n')
        samples = []
        for line in lines:
            parts = line.split()
            if len(parts) == 7:
                samples.append((int(parts[0]), tuple(int(n) for n in parts[1:5]), parts[5] == '1',
                                parts[6]))
        return samples


def screenshot(test):
    """The screen as (width, height, rgb bytes)."""
    folder = tempfile.mkdtemp(prefix='mr-shot-')
    path = os.path.join(folder, 'shot.ppm')
    test.addCleanup(lambda: (os.path.exists(path) and os.unlink(path), os.rmdir(folder)))
    subprocess.run(['import', '-window', 'root', '-depth', '8', path], check=True, timeout=30,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(path, 'rb') as f:
        data = f.read()
    # binary PPM: P6 <width> <height> <maxval> then the pixels
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    assert fields[0] == b'P6' and fields[3] == b'255', fields
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[at + 1:]


class Picture:
    def __init__(self, shot):
        self.width, self.height, self.pixels = shot

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def dark_rows(self, left, top, right, bottom):
        """Rows (relative to top) of the rectangle that hold dark pixels."""
        return [y - top for y in range(top, bottom)
                if any(max(self.at(x, y)) < 100 for x in range(left, right))]

    def dark_pixels(self, left, top, right, bottom):
        return sum(1 for y in range(top, bottom) for x in range(left, right)
                   if max(self.at(x, y)) < 100)


def bands(rows):
    """Runs of consecutive row numbers: the text lines of a picture."""
    runs = []
    for row in rows:
        if runs and row == runs[-1][1] + 1:
            runs[-1][1] = row
        else:
            runs.append([row, row])
    return runs


def check_one_slide(test, samples, full_height=None):
    """One rise, stand and fall at the bottom right of the work area."""
    area = work_area()
    shown = [s for s in samples if s[2]]
    test.assertTrue(shown, f'the popup never showed: {samples}')
    for ms, (left, top, right, bottom), _, _ in shown:
        test.assertEqual((right, bottom), (area[2] - 10, area[3]), f'at {ms} ms')
        test.assertEqual(right - left, 150, f'at {ms} ms')
    heights = [s[1][3] - s[1][1] for s in shown]
    tallest = max(heights)
    if full_height is not None:
        test.assertEqual(tallest, full_height)
    test.assertGreaterEqual(tallest, 100)
    # up, then down, never up again
    peak = heights.index(tallest)
    test.assertEqual(heights[:peak + 1], sorted(heights[:peak + 1]))
    test.assertEqual(heights[peak:], sorted(heights[peak:], reverse=True))
    test.assertFalse(samples[-1][2], 'the popup did not hide again')
    test.assertEqual(samples[-1][1][1], area[3], 'hidden, it has no height')
    seconds = (samples[-1][0] - shown[0][0]) / 1000
    # 170 ticks of 20 ms; late timer ticks under load only make it longer
    test.assertGreaterEqual(seconds, 3.2)
    test.assertLess(seconds, 6.0)
    return seconds

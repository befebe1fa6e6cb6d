"""Watching the timeline popup from outside: its window, a track of its slide,
and screenshots read back pixel by pixel."""
import os
import subprocess
import tempfile

from harness import WINHELPER, WinHelperError, list_windows, wh, wine, wine_command

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

    def rows(self, left, top, right, bottom):
        """The rectangle's pixels, one bytes object of RGB triples per row."""
        return [self.pixels[(y * self.width + left) * 3:(y * self.width + right) * 3]
                for y in range(top, bottom)]

    def dark_pixels(self, left, top, right, bottom):
        return sum(1 for y in range(top, bottom) for x in range(left, right)
                   if max(self.at(x, y)) < 100)


def reference(text, height, locale=None, width=150):
    """The popup's picture as it should be, drawn apart by winhelper drawtext in
    the same message font (under the same locale, which may change the font):
    (measured text height, rows of RGB bytes of the width x height window,
    client origin at the top left)."""
    env = dict(os.environ, LANG=locale, LC_ALL=locale) if locale else None
    done = wine(WINHELPER, 'drawtext', text.encode('utf-8').hex(), width, height, env=env)
    assert done.returncode == 0, f'winhelper drawtext -> {done.returncode}'
    lines = done.stdout.decode('ascii').split()
    return int(lines[1]), [bytes.fromhex(row) for row in lines[2:]]


def full_height(text, locale=None):
    """The height the popup rises to for text: its measured height and a
    margin, at least 100."""
    return max(reference(text, 1, locale)[0] + 10, 100)


def check_text_as_drawn(test, picture, rect, text, locale=None):
    """The popup standing at rect shows exactly the reference picture of text,
    within its client area. Returns the reference's measured text height."""
    left, top, right, bottom = rect
    text_height, expected = reference(text, bottom - top, locale)
    inside = (left + CLIENT_EDGE, top + CLIENT_EDGE, right - CLIENT_EDGE, bottom - CLIENT_EDGE)
    width = inside[2] - inside[0]
    if text.strip():
        test.assertTrue(any(min(row[i:i + 3]) < 100 and max(row[i:i + 3]) < 100
                            for row in expected for i in range(0, width * 3, 3)),
                        f'the reference of {text!r} shows no text')
    seen = picture.rows(*inside)
    wrong = [y for y, row in enumerate(seen) if row != expected[y][:width * 3]]
    test.assertTrue(not wrong, f'{len(wrong)} rows differ from the reference of {text!r}, '
                            f'the first at y={wrong[:1]}')
    return text_height


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
    # The slide goes by the clock: hidden 3.4 s after it began (3 s to the
    # fall and 0.4 s of it), and while it rises each height tells the time
    # since the start, 4 ms a pixel. Read at half height, not at the first
    # frame, which may show late (slow under emulation) with the height of its tick.
    mid = next((i for i in range(1, peak + 1) if heights[i] >= tallest // 2), peak)
    seconds = (samples[-1][0] - shown[mid][0]) / 1000 + heights[mid] * 4 / 1000
    test.assertGreaterEqual(seconds, 3.3, f'from {heights[mid]} pixels high')
    test.assertLess(seconds, 6.0)
    return seconds

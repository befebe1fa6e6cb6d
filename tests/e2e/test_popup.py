"""The timeline popup end to end: the first request's entries slide up in the
corner of the work area and away again, polls every 62 seconds, and the popup
never takes the foreground from the program the user works in."""
import email.utils
import os
import subprocess
import tempfile
import time
import unittest

from harness import WINHELPER, ScenarioCase, find_window, list_windows, wait_until, wh

try:
    from service import TIMELINE, start_service
except ImportError:  # the fake web service is not on this branch yet
    TIMELINE, start_service = None, None

NEEDS_SERVICE = 'needs the fake web service (tests/e2e/service.py) and the real timeline request'

LIGHT_BLUE = (154, 190, 255)
CLIENT_EDGE = 2  # the sunken client edge takes two pixels on each side
FIVE_SHORT = [('alice', 'one'), ('bob', 'Tom & Jerry'), ('carol', 'three'), ('dave', 'four'),
              ('erin', 'five'), ('frank', 'six is not shown'), ('gina', 'nor seven')]


def work_area():
    return tuple(int(n) for n in wh('workarea').split())


def popup():
    """The popup's window as list_windows describes it, or None."""
    windows = list_windows('fadeWindow')
    return windows[0] if windows else None


def standing(height=None):
    """The popup while it is visible and not moving (two looks agree)."""
    first = popup()
    if not first or not first['visible']:
        return None
    second = popup()
    if not second or second['rect'] != first['rect'] or not second['visible']:
        return None
    top, bottom = first['rect'][1], first['rect'][3]
    if height is not None and bottom - top != height:
        return None
    return second


class Tracker:
    """winhelper track: every change of the popup's place, visibility and of the
    foreground window, from before the program starts until the popup hides."""

    def __init__(self, test, limit_ms=15000):
        self.file = tempfile.NamedTemporaryFile(prefix='mr-track-', suffix='.txt', delete=False)
        test.addCleanup(os.unlink, self.file.name)
        self.process = subprocess.Popen(['wine', WINHELPER, 'track', 'fadeWindow', str(limit_ms)],
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


class PopupScenario(ScenarioCase):

    def check_one_slide(self, samples, full_height=None):
        """One rise, stand and fall at the bottom right of the work area."""
        area = work_area()
        shown = [s for s in samples if s[2]]
        self.assertTrue(shown, f'the popup never showed: {samples}')
        for ms, (left, top, right, bottom), _, _ in shown:
            self.assertEqual((right, bottom), (area[2] - 10, area[3]), f'at {ms} ms')
            self.assertEqual(right - left, 150, f'at {ms} ms')
        heights = [s[1][3] - s[1][1] for s in shown]
        tallest = max(heights)
        if full_height is not None:
            self.assertEqual(tallest, full_height)
        self.assertGreaterEqual(tallest, 100)
        # up, then down, never up again
        peak = heights.index(tallest)
        self.assertEqual(heights[:peak + 1], sorted(heights[:peak + 1]))
        self.assertEqual(heights[peak:], sorted(heights[peak:], reverse=True))
        self.assertFalse(samples[-1][2], 'the popup did not hide again')
        self.assertEqual(samples[-1][1][1], area[3], 'hidden, it has no height')
        seconds = (samples[-1][0] - shown[0][0]) / 1000
        # 170 ticks of 20 ms; late timer ticks under load only make it longer
        self.assertGreaterEqual(seconds, 3.2)
        self.assertLess(seconds, 6.0)
        return seconds

    def test_service_down_popup_still_slides_up_once_empty(self):
        tracker = Tracker(self)
        program = self.program({'username': 'alice', 'password': 'secret'}).start()
        self.assertIsNotNone(wait_until(lambda: standing(100), timeout=10), 'never stood')
        left, top, right, bottom = standing(100)['rect']
        picture = Picture(screenshot(self))
        inside = (left + CLIENT_EDGE, top + CLIENT_EDGE, right - CLIENT_EDGE, bottom - CLIENT_EDGE)
        self.assertEqual(picture.dark_pixels(*inside), 0, 'an empty popup shows no text')
        self.assertEqual(picture.at(inside[0], inside[1] + 10), LIGHT_BLUE)
        self.check_one_slide(tracker.samples(), full_height=100)
        time.sleep(1.5)
        self.assertFalse(popup()['visible'], 'the popup came back without a poll')
        self.assertTrue(program.running())

    def test_popup_leaves_the_foreground_program_alone_also_when_clicked(self):
        notepad = subprocess.Popen(['wine', 'notepad'], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (notepad.kill(), notepad.wait(5)))
        editor = find_window('Notepad', '', 20000)
        self.assertIsNotNone(editor, 'notepad did not start')
        wh('activate', editor)
        self.assertTrue(wait_until(lambda: wh('foreground').split()[0] == editor))

        tracker = Tracker(self)
        self.program({'username': 'alice', 'password': 'secret'}).start()
        window = wait_until(lambda: standing(100), timeout=10)
        self.assertIsNotNone(window, 'the popup never stood')
        left, top, right, bottom = window['rect']
        subprocess.run(['xdotool', 'mousemove', str((left + right) // 2), str((top + bottom) // 2),
                        'click', '1'], check=True, timeout=10)
        time.sleep(0.3)
        self.assertEqual(wh('foreground').split()[0], editor, 'the click activated the popup')

        samples = tracker.samples()
        self.check_one_slide(samples)
        foregrounds = {s[3] for s in samples}
        self.assertEqual(foregrounds, {editor}, f'the foreground changed during the slide')

    @unittest.skipIf(start_service is None, NEEDS_SERVICE)
    def test_first_request_entries_slide_up_in_the_corner_with_gradient_and_text(self):
        svc = start_service(self, statuses=FIVE_SHORT)
        tracker = Tracker(self)
        program = self.program({'username': 'alice', 'password': 'secret'}, env=svc.env).start()
        window = wait_until(lambda: standing(100), timeout=15)
        self.assertIsNotNone(window, 'the popup never stood at its full height')
        left, top, right, bottom = window['rect']
        picture = Picture(screenshot(self))
        self.assertEqual(popup()['rect'], window['rect'], 'the popup moved during the shot')

        inside = (left + CLIENT_EDGE, top + CLIENT_EDGE, right - CLIENT_EDGE, bottom - CLIENT_EDGE)
        # the gradient: light blue on the left, nearly white on the right, in a
        # row above the centred text
        self.assertEqual(picture.at(inside[0], inside[1] + 1), LIGHT_BLUE)
        r, g, b = picture.at(inside[2] - 1, inside[1] + 1)
        self.assertTrue(r >= 245 and g >= 245 and b == 255, (r, g, b))
        rows = picture.dark_rows(*inside)
        self.assertGreater(picture.dark_pixels(*inside), 100, 'no text in the popup')
        lines = bands(rows)
        self.assertEqual(len(lines), 5, f'five entries expected, text rows {lines}')
        # centred: as much room above the text as below it, give or take a pixel
        above, below = lines[0][0], (bottom - top - 2 * CLIENT_EDGE) - 1 - lines[-1][1]
        self.assertLessEqual(abs(above - below), 6, (above, below))

        self.check_one_slide(tracker.samples(), full_height=100)
        first = svc.requests(path=TIMELINE, authorized=True)
        self.assertEqual(len(first), 2)
        self.assertTrue(all(r.header('If-Modified-Since') is None for r in first))
        self.assertTrue(program.running())

    @unittest.skipIf(start_service is None, NEEDS_SERVICE)
    def test_slow_polls_on_the_62nd_tick_304_shows_nothing_200_slides_again(self):
        """Slow: two polls, about 130 seconds."""
        svc = start_service(self, statuses=FIVE_SHORT)
        started = time.time()
        self.program({'username': 'alice', 'password': 'secret'}, env=svc.env).start()
        first = svc.wait_for(2, path=TIMELINE, authorized=True, timeout=20)
        self.assertEqual(len(first), 2)
        self.assertTrue(wait_until(lambda: popup() and popup()['visible'], timeout=10))
        self.assertTrue(wait_until(lambda: not popup()['visible'], timeout=10))

        # The first poll: the document is older than the start, so 304.
        polled = svc.wait_for(4, path=TIMELINE, authorized=True, timeout=90)
        self.assertEqual(len(polled), 4, 'no poll within 90 s')
        first_poll = polled[2:4]
        self.assertEqual([r.status for r in first_poll], [304, 304])
        interval = first_poll[0].time - first[0].time
        self.assertGreater(interval, 61.5, 'polled before the 62nd tick')
        self.assertLess(interval, 70)
        since = first_poll[0].header('If-Modified-Since')
        self.assertIsNotNone(since)
        start_time = email.utils.parsedate_to_datetime(since).timestamp()
        self.assertLessEqual(abs(start_time - started), 5, since)
        self.assertFalse(wait_until(lambda: popup()['visible'], timeout=2),
                          'a 304 poll showed the popup')

        # The second: a newer document, so 200, and the popup slides up again.
        svc.set_timeline([('zoe', 'news')])
        polled = svc.wait_for(6, path=TIMELINE, authorized=True, timeout=80)
        self.assertEqual(len(polled), 6, 'no second poll within 80 s')
        second_poll = polled[4:6]
        self.assertEqual(second_poll[-1].status, 200)
        self.assertEqual(second_poll[0].header('If-Modified-Since'), since,
                         'a 304 poll must keep the time of the last good poll')
        self.assertGreater(second_poll[0].time - first_poll[0].time, 61.5)
        self.assertTrue(wait_until(lambda: popup()['visible'], timeout=5),
                        'a 200 poll did not show the popup')


if __name__ == '__main__':
    unittest.main()

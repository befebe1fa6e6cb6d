"""The timeline popup end to end: the first request's entries slide up in the
corner of the work area and away again, and the popup never takes the
foreground from the program the user works in."""
import subprocess
import time

from harness import ScenarioCase, find_window, wait_until, wh
from popup_watch import (CLIENT_EDGE, LIGHT_BLUE, Picture, Tracker, check_one_slide,
                         check_text_as_drawn, full_height, popup, reference, screenshot,
                         standing, unmoved)
from service import TIMELINE, start_service, timeline_xml

FIVE_SHORT = [('alice', 'one'), ('bob', 'Tom & Jerry'), ('carol', 'three'), ('dave', 'four'),
              ('erin', 'five'), ('frank', 'six is not shown'), ('gina', 'nor seven')]
# Beyond code page 1252 (kana, Cyrillic, an emoji past U+FFFF) and within it;
# and markup, which as_numeric_refs sends as references: neither a tag nor
# decoded twice.
UNICODE = [('\u3042\u3044\u3046', 'Ж \u00e9 \u20ac'), ('bob', 'smile \U0001F600 ok'),
           ('carol', 'a</text> &lt;b')]


def as_numeric_refs(document):
    """The document with its markup characters as numeric references, as some
    services write them, instead of named entities."""
    return (document.replace(b'&lt;', b'&#60;').replace(b'&gt;', b'&#62;')
            .replace(b'&amp;', b'&#38;'))


def popup_text(statuses):
    return ''.join(f'{name}: {text}\n' for name, text in statuses[:5])


class PopupScenario(ScenarioCase):

    def test_service_down_popup_still_slides_up_once_empty(self):
        tracker = Tracker(self)
        program = self.program({'username': 'alice', 'password': 'secret'}).start()
        window = standing(100)
        self.assertIsNotNone(window, 'never stood')
        left, top, right, bottom = window['rect']
        picture = Picture(screenshot(self))
        self.assertTrue(unmoved(window), 'the popup moved during the shot')
        inside = (left + CLIENT_EDGE, top + CLIENT_EDGE, right - CLIENT_EDGE, bottom - CLIENT_EDGE)
        self.assertEqual(picture.dark_pixels(*inside), 0, 'an empty popup shows no text')
        self.assertEqual(picture.at(inside[0], inside[1] + 10), LIGHT_BLUE)
        check_one_slide(self, tracker.samples(), full_height=100)
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
        window = standing(100)
        self.assertIsNotNone(window, 'the popup never stood')
        left, top, right, bottom = window['rect']
        subprocess.run(['xdotool', 'mousemove', str((left + right) // 2), str((top + bottom) // 2),
                        'click', '1'], check=True, timeout=10)
        time.sleep(0.3)
        self.assertEqual(wh('foreground').split()[0], editor, 'the click activated the popup')

        samples = tracker.samples()
        check_one_slide(self, samples)
        foregrounds = {s[3] for s in samples}
        self.assertEqual(foregrounds, {editor}, f'the foreground changed during the slide')

    def test_first_request_entries_slide_up_in_the_corner_with_gradient_and_text(self):
        svc = start_service(self, statuses=FIVE_SHORT)
        height = full_height(popup_text(FIVE_SHORT))  # 100 but for a large message font
        tracker = Tracker(self)
        program = self.program({'username': 'alice', 'password': 'secret'}, env=svc.env).start()
        window = standing(height, timeout=15)
        self.assertIsNotNone(window, 'the popup never stood at its full height')
        left, top, right, bottom = window['rect']
        picture = Picture(screenshot(self))
        self.assertTrue(unmoved(window), 'the popup moved during the shot')

        inside = (left + CLIENT_EDGE, top + CLIENT_EDGE, right - CLIENT_EDGE, bottom - CLIENT_EDGE)
        # the gradient: light blue on the left, nearly white on the right, in a
        # row above the centred text
        self.assertEqual(picture.at(inside[0], inside[1] + 1), LIGHT_BLUE)
        r, g, b = picture.at(inside[2] - 1, inside[1] + 1)
        self.assertTrue(r >= 245 and g >= 245 and b == 255, (r, g, b))
        # the five entries, centred, in the message font: whatever fonts are
        # installed, as drawn apart with the same font and text
        check_text_as_drawn(self, picture, window['rect'], popup_text(FIVE_SHORT))

        check_one_slide(self, tracker.samples(), full_height=height)
        first = svc.requests(path=TIMELINE, authorized=True)
        self.assertEqual(len(first), 2)
        self.assertTrue(all(r.header('If-Modified-Since') is None for r in first))
        self.assertTrue(program.running())

    def test_characters_beyond_the_code_page_and_markup_show_as_sent_in_any_locale(self):
        # ja_JP has code page 932, which lacks Cyrillic and the emoji, and may
        # bring another message font: the reference is drawn under it too.
        for locale in (None, 'ja_JP.UTF-8'):
            with self.subTest(locale=locale):
                svc = start_service(self)
                svc.set_timeline(as_numeric_refs(timeline_xml(UNICODE)))
                env = dict(svc.env, **({'LANG': locale, 'LC_ALL': locale} if locale else {}))
                program = self.program({'username': 'alice', 'password': 'secret'}, env=env)
                height = full_height(popup_text(UNICODE), locale)
                program.start()
                window = standing(height, timeout=15)
                self.assertIsNotNone(window, 'the popup never stood at its full height')
                picture = Picture(screenshot(self))
                self.assertTrue(unmoved(window), 'the popup moved during the shot')
                check_text_as_drawn(self, picture, window['rect'], popup_text(UNICODE), locale)
                program.close()
        # The kana have glyphs of their own, not the one missing-glyph box for
        # all: the message font is linked to a font that has them.
        kana = {b''.join(reference(k, 30)[1]) for k in '\u3042\u3044\u3046'}
        self.assertEqual(len(kana), 3, 'the kana are drawn as missing glyphs')

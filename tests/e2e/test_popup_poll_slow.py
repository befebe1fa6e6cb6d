"""Slow (about 230 seconds): the popup's poll cycle under Wine, with its real
one-second timer. The first poll comes on the 62nd tick; a 304 shows nothing
and keeps the time of the last good poll; a 200 slides the popup up again.
While the third poll's answer trickles in, the tray menu and the settings
dialog (open before the poll began) answer at once, and the request ends 30 s
after it began, with what came by then."""
import email.utils
import time

from harness import SETTINGS_COMMAND, WM_COMMAND, ScenarioCase, find_window, wait_until, wh
from popup_watch import popup, standing
from service import TIMELINE, start_service
from tray_menu import menu_opens

IDOK = 1
PASSWORD_EDIT = 4001
DEADLINE = 30  # seconds from a timeline request's first send to the end of its body


class PopupPollScenario(ScenarioCase):

    def test_polls_on_the_62nd_tick_304_shows_nothing_200_slides_again(self):
        svc = start_service(self, statuses=[('alice', 'one'), ('bob', 'two')])
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
        self.assertTrue(wait_until(lambda: not popup()['visible'], timeout=10))

        # The third: its answer trickles in, a byte every 5 s, while the settings
        # dialog is open.
        main = find_window('MoodRelayer', 'MoodRelayer')
        wh('post', main, WM_COMMAND, SETTINGS_COMMAND, 0)
        dialog = find_window('#32770', 'Option')
        self.assertIsNotNone(dialog, 'no settings dialog')
        svc.fault(path=TIMELINE, skip=1, status=200, body=b'<statuses>' + b' ' * 200, trickle=5)
        polled = svc.wait_for(8, path=TIMELINE, authorized=True, answered=False, timeout=80)
        self.assertEqual(len(polled), 8, 'no third poll within 80 s')
        began = polled[6].time
        time.sleep(6)  # a byte or two in
        self.assertTrue(menu_opens(main, within=1), 'the tray menu waited for the poll')
        typed = time.monotonic()
        wh('settext', dialog, PASSWORD_EDIT, 'secret')
        wh('click', dialog, IDOK)
        wh('gone', dialog, 1000)
        self.assertLess(time.monotonic() - typed, 2, 'the dialog waited for the poll')
        # The request stops 30 s after it began: an empty popup rises then.
        self.assertIsNotNone(standing(100, DEADLINE + 15), 'the trickling poll never ended')
        ended = time.time()
        self.assertGreater(ended - began, DEADLINE - 1)
        self.assertLess(ended - began, DEADLINE + 10, 'the deadline did not hold')

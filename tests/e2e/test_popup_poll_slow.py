"""Slow (about 130 seconds): the popup's poll cycle under Wine, with its real
one-second timer. The first poll comes on the 62nd tick; a 304 shows nothing
and keeps the time of the last good poll; a 200 slides the popup up again."""
import email.utils
import time

from harness import ScenarioCase, wait_until
from popup_watch import popup
from service import TIMELINE, start_service


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

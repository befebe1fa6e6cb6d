"""Slow (about 170 seconds): the popup's poll cycle under Wine, with its real
one-second timer, against a service whose clock runs 10 minutes behind the
PC's. The start-up request fails, so the first poll, on the 62nd tick, asks
for the whole timeline and shows it. The next poll sends back the service's
own Last-Modified, and a change made since (by the service's clock, before
the PC's time of the last poll) is seen. While that poll's answer trickles
in, the tray menu and the settings dialog (open before the poll began) answer
at once, and the request ends 30 s after it began. (That a 304 shows nothing
and keeps the condition is the unit tests' TimelineCondition.)"""
import email.utils
import time

from harness import SETTINGS_COMMAND, WM_COMMAND, ScenarioCase, find_window, wait_until, wh
from popup_watch import popup, standing
from service import TIMELINE, start_service
from tray_menu import menu_opens

IDOK = 1
PASSWORD_EDIT = 4001
DEADLINE = 30  # seconds from a timeline request's first send to the end of its body
BEHIND = -600  # the service's clock against the PC's


class PopupPollScenario(ScenarioCase):

    def test_polls_on_the_62nd_tick_with_the_services_own_dates(self):
        svc = start_service(self, statuses=[('alice', 'one'), ('bob', 'two')])
        svc.clock_offset = BEHIND
        modified = int(svc.now()) - 60
        svc.set_timeline([('alice', 'one'), ('bob', 'two')], modified=modified)
        svc.fault(path=TIMELINE, count=2, status=500, body=b'down for now')
        self.program({'username': 'alice', 'password': 'secret'}, env=svc.env).start()
        first = svc.wait_for(2, path=TIMELINE, authorized=True, timeout=20)
        self.assertEqual([r.status for r in first], [500, 500])
        # whatever the start-up request got, the popup slides up once
        self.assertTrue(wait_until(lambda: popup() and popup()['visible'], timeout=10))
        self.assertTrue(wait_until(lambda: not popup()['visible'], timeout=10))

        # The first poll: the start-up request got no 200, so no condition.
        polled = svc.wait_for(4, path=TIMELINE, authorized=True, timeout=90)
        self.assertEqual(len(polled), 4, 'no poll within 90 s')
        first_poll = polled[2:4]
        interval = first_poll[0].time - first[0].time
        self.assertGreater(interval, 61.5, 'polled before the 62nd tick')
        self.assertLess(interval, 70)
        self.assertIsNone(first_poll[0].header('If-Modified-Since'))
        self.assertEqual(first_poll[-1].status, 200)
        self.assertTrue(wait_until(lambda: popup()['visible'], timeout=5),
                        'the first good answer did not show the timeline')
        self.assertTrue(wait_until(lambda: not popup()['visible'], timeout=10))

        # The second: sends back the service's Last-Modified; the timeline
        # changed since by the service's clock, which is behind the PC's time of
        # the last poll, and the change is seen all the same. Its answer
        # trickles in, a byte every 5 s, while the settings dialog is open.
        svc.set_timeline([('zoe', 'news')])
        main = find_window('MoodRelayer', 'MoodRelayer')
        wh('post', main, WM_COMMAND, SETTINGS_COMMAND, 0)
        dialog = find_window('#32770', 'Option')
        self.assertIsNotNone(dialog, 'no settings dialog')
        svc.fault(path=TIMELINE, skip=1, status=200, body=b'<statuses>' + b' ' * 200, trickle=5)
        polled = svc.wait_for(6, path=TIMELINE, authorized=True, answered=False, timeout=80)
        self.assertEqual(len(polled), 6, 'no second poll within 80 s')
        second_poll = polled[4:6]
        self.assertGreater(second_poll[0].time - first_poll[0].time, 61.5)
        self.assertEqual(second_poll[0].header('If-Modified-Since'),
                         email.utils.formatdate(modified, usegmt=True))
        self.assertEqual(second_poll[0].status, 200, 'a change after the last poll was missed')
        time.sleep(6)  # a byte or two in
        self.assertTrue(menu_opens(main, within=1), 'the tray menu waited for the poll')
        # Its edit field takes text and gives it back (messages its thread must
        # answer) within 1 s, the two helpers' own starts on top.
        typed = time.monotonic()
        wh('settext', dialog, PASSWORD_EDIT, 'secret')
        self.assertEqual(wh('gettext', dialog, PASSWORD_EDIT), 'secret')
        self.assertLess(time.monotonic() - typed, 1.5, 'the dialog waited for the poll')
        wh('click', dialog, IDOK)
        wh('gone', dialog, 5000)  # OK closes it (saving takes Wine a moment)
        # The request stops 30 s after it began, with what came: no entries in
        # it, so the popup rises empty.
        self.assertIsNotNone(standing(100, DEADLINE + 15), 'the trickling poll never ended')
        took = time.time() - second_poll[0].time
        self.assertGreater(took, DEADLINE - 1)
        self.assertLess(took, DEADLINE + 10, 'the deadline did not hold')

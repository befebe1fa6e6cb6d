"""Fault matrix, the timeline GET: every fault of the service's answer to the
start-up request, one program start per row. The tray click is posted while
the request may still run, and the menu must be open within 2 s of the fault's
end. A mood change sent meanwhile must still be posted, once. A refused
account brings a balloon. And nobody waits for a service that hangs: not the
tray, the chat link, Exit or the end of the Windows session."""
import time
import unittest

from fault_matrix import (ACCOUNT, DELAY_20, DELAY_60, REFUSED, SERVICE_FAULTS, TIMEOUT,
                          MatrixCase, mood_text, tray_balloon)
from harness import TRAY_ICON_ID, wh
from popup_watch import full_height, popup, standing
from service import GETS_PER_FETCH, TIMELINE, start_service
from skype_sim import start_sim
from tray_menu import click_icon, menu_opened_by

WM_QUERYENDSESSION = 0x0011
WM_ENDSESSION = 0x0016
# A start-up request the service answers after this long: within the program's timeout.
HANG = 12


def monotonic(wall_time):
    """A time.time() of the service's log on the time.monotonic() clock."""
    return time.monotonic() - (time.time() - wall_time)


class ServiceFaultsOnTheTimeline(MatrixCase):

    def test_each_fault_of_the_answer_to_the_start_up_request(self):
        svc = start_service(self)
        sim = start_sim(self, status=0)
        for name, fault in SERVICE_FAULTS:
            # Past the timeout as the 20-second delay is: it would show nothing more here.
            if name == DELAY_60:
                continue
            with self.row(name):
                self.start_up_with(svc, sim, name, fault)

    def start_up_with(self, svc, sim, name, fault):
        svc.clear_faults()
        svc.clear_log()
        if name == REFUSED:
            svc.refuse_connections()
        elif name == DELAY_20:
            # the program does not send again after a send that got no answer
            svc.fault(path=TIMELINE, **fault)
        else:
            # every GET of the fetch, the client's own resends included
            svc.fault(path=TIMELINE, count=1000, **fault)
        program = None
        try:
            program, window = self.start_program(svc, sim)
            text = mood_text('during', name)
            if name != REFUSED:
                self.assertEqual(sim.mood(text), 1)
            click_icon(window)
            if name == REFUSED:
                over = time.monotonic()
            elif name == DELAY_20:
                # over when the program's timeout ends the wait, 15 s after the GET came
                gets = svc.wait_for(1, path=TIMELINE, authorized=True, answered=False)
                self.assertEqual(len(gets), 1)
                over = monotonic(gets[0].time) + TIMEOUT
            else:
                gets = self.wait_fetch_over(svc)
                self.assertGreaterEqual(len(gets), GETS_PER_FETCH)
                over = monotonic(max(g.answered_time for g in gets))
            self.assertTrue(menu_opened_by(over + 2),
                            'the tray menu did not open within 2 s of the fault\'s end')
            if fault and fault.get('status') == 401:
                balloon = tray_balloon(5000)
                self.assertIn('Settings', balloon[1] if balloon else '', 'no balloon')
            if name == REFUSED:
                svc.accept_connections()
                # the mood goes out once the service takes connections again
                self.assertEqual(sim.mood(text), 1)
            self.assertTrue(program.running(), 'the program has ended')
            self.assertEqual(len(self.wait_received(svc, text)), 1)
            self.assertEqual(program.exit_through_menu_command(), 0)
            self.assertEqual(len(self.received(svc, text)), 1, 'posted twice')
        finally:
            svc.accept_connections()
            if program:
                program.close()

    def test_nobody_waits_for_a_service_that_hangs(self):
        svc = start_service(self, statuses=[('ann', 'after the wait')])
        sim = start_sim(self, status=0)
        with self.row('start-up request answered after 12 s'):
            svc.fault(path=TIMELINE, delay=HANG)
            program = self.program(ACCOUNT, env=svc.env).start()
            shown = monotonic(int(wh('waittray', 'MoodRelayer', TRAY_ICON_ID, 20000)) / 1e6)
            click_icon(program.main_window())
            self.assertTrue(menu_opened_by(shown + 1),
                            'the tray menu did not open within 1 s of the icon')
            # the chat link attaches and a mood goes out while the request hangs
            self.assertTrue(sim.wait_for(lambda: sim.commands_received(), 10), 'not attached')
            text = mood_text('during', 'the hang')
            self.assertEqual(sim.mood(text), 1)
            self.assertEqual(len(self.wait_received(svc, text)), 1)
            gets = svc.requests(path=TIMELINE, authorized=True)
            self.assertTrue(gets and all(g.status is None for g in gets),
                            'the request no longer hangs: the row shows nothing')
            self.assertFalse(popup()['visible'], 'the popup rose before the answer')
            # then the popup rises with the entries of the answer
            self.assertIsNotNone(standing(full_height('ann: after the wait\n'), HANG + 10),
                                 'the popup did not rise with the answer\'s entries')
            self.assertEqual(program.exit_through_menu_command(), 0)
        with self.row('the session ends while the start-up request hangs'):
            svc.fault(path=TIMELINE, delay=60)
            program = self.program(ACCOUNT, env=svc.env).start()
            window = program.main_window()
            svc.wait_for(1, path=TIMELINE, authorized=True, answered=False)
            asked = time.monotonic()
            self.assertEqual(wh('send', window, WM_QUERYENDSESSION, 0, 0), '1')
            # within 1 s, and the helper's own start on top
            self.assertLess(time.monotonic() - asked, 1.5, 'WM_QUERYENDSESSION waited')
            wh('send', window, WM_ENDSESSION, 1, 0)
            self.assertEqual(wh('tray', window, TRAY_ICON_ID), '0', 'the icon stayed')
            self.assertEqual(program.wait_exit(4), 0, 'the program did not end with the session')
        with self.row('Exit while the start-up request hangs'):
            svc.fault(path=TIMELINE, delay=60)
            program = self.program(ACCOUNT, env=svc.env).start()
            program.main_window()
            svc.wait_for(1, path=TIMELINE, authorized=True, answered=False)
            self.assertEqual(program.exit_through_menu_command(4), 0,
                             'Exit did not end the program within 4 s')

    def wait_fetch_over(self, svc):
        """The spoilt GETs of the start-up fetch, once they have all been
        answered and no other follows within half a second."""
        svc.wait_for(GETS_PER_FETCH, path=TIMELINE, authorized=True, timeout=TIMEOUT + 5)
        seen = None
        end = time.monotonic() + 2 * TIMEOUT
        while time.monotonic() < end:
            gets = svc.requests(path=TIMELINE, authorized=True)
            if gets == seen and all(g.status is not None for g in gets):
                return gets
            seen = gets
            time.sleep(0.5)
        self.fail(f'the start-up fetch did not end: {seen}')


if __name__ == '__main__':
    unittest.main()

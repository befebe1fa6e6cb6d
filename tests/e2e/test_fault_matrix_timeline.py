"""Fault matrix, the timeline GET: every fault of the service's answer to the
synchronous start-up request, one program start per row. The start-up request
holds the main thread, so the tray click is posted while it may still be busy
and the menu must be open within 2 s of the fault's end. A mood change sent
meanwhile must still be posted, once. A refused account brings a balloon."""
import time
import unittest

from fault_matrix import (DELAY_20, DELAY_60, REFUSED, SERVICE_FAULTS, TIMEOUT, MatrixCase,
                          mood_text, tray_balloon)
from service import GETS_PER_FETCH, TIMELINE, start_service
from skype_sim import start_sim
from tray_menu import click_icon, menu_opened_by


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

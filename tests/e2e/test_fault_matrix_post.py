"""Fault matrix, the status POST: every fault of the service's answer in one
program run. Before each mood change from the simulator the service is told
how to spoil its answer to the next POST."""
import time
import unittest

from fault_matrix import (DELAY_20, DELAY_60, REFUSED, SERVICE_FAULTS, TIMEOUT, MatrixCase,
                          mood_text, own_thread_ids, own_threads)
from harness import wait_until
from service import UPDATE


class ServiceFaultsOnThePost(MatrixCase):

    def test_each_fault_of_the_answer_to_a_post(self):
        svc, sim, program, window = self.start_attached()
        idle = own_threads(program)
        # The refusal first: it closes every connection, and so would cut the
        # delayed ones short. The delays next, so that their timeouts run
        # out while the other rows go on.
        first = [REFUSED, DELAY_60, DELAY_20]
        rows = sorted(SERVICE_FAULTS, key=lambda r: first.index(r[0]) if r[0] in first else 9)
        delayed = {}
        for name, fault in rows:
            text = mood_text('post', name)
            with self.row(name):
                if name == REFUSED:
                    svc.refuse_connections()
                    try:
                        start = time.monotonic()
                        self.assertEqual(sim.mood(text), 1)
                        self.assertTrue(self.wait_idle(program, idle, TIMEOUT + 5),
                                        'the posting thread did not end')
                        # a refused connection needs no timeout to give up
                        self.assertLess(time.monotonic() - start, TIMEOUT - 5)
                    finally:
                        svc.accept_connections()
                else:
                    svc.fault(path=UPDATE, **fault)
                    before = own_thread_ids(program)
                    self.assertEqual(sim.mood(text), 1)
                    if 'delay' in fault:
                        # the posting thread exists once the notification is taken
                        thread = own_thread_ids(program) - before
                        self.assertEqual(len(thread), 1)
                        got = self.wait_received(svc, text, answered=False)
                        delayed[name] = (thread.pop(), time.monotonic())
                    else:
                        got = self.wait_received(svc, text)
                    self.assertEqual(len(got), 1, 'the POST did not reach the service')
                    self.assertIsNotNone(got[0].fault, 'the fault went to another request')
                self.assert_alive_and_menu_opens(program, window)

        # Each delayed posting thread gives up at its timeout, before the
        # service answers (and so also at 20 s, a little after it).
        for name, (thread, arrived) in delayed.items():
            with self.row(name, 'the posting thread ends at the timeout'):
                ended = wait_until(lambda: thread not in own_thread_ids(program),
                                   arrived + TIMEOUT + 3 - time.monotonic(), 0.1)
                self.assertTrue(ended, 'the posting thread still waits')

        time.sleep(1)  # room for a late second copy
        for name, _ in rows:
            with self.row(name, 'posted once'):
                got = self.received(svc, mood_text('post', name))
                if name == REFUSED:
                    self.assertLessEqual(len(got), 1)
                else:
                    self.assertEqual(len(got), 1)

        with self.row('after every fault'):
            self.assertEqual(sim.mood('post_after_the_faults'), 1)
            self.assertEqual(len(self.wait_received(svc, 'post_after_the_faults')), 1)
            self.assertTrue(self.wait_idle(program, idle, TIMEOUT))
            self.assert_alive_and_menu_opens(program, window)


if __name__ == '__main__':
    unittest.main()

"""Fault matrix, the status POST: every fault of the service's answer in one
program run. Before each mood change from the simulator the service is told
how to spoil its answer to the next POST. A post the service surely did not
take (no connection, 502, 503, 504, a redirect, a proxy that wants a password)
is tried again 5 s later; any other fault ends it after one try. The tray
tooltip tells what became of the last mood."""
import time
import unittest

from fault_matrix import (DELAY_20, DELAY_60, REFUSED, SERVICE_FAULTS, TIMEOUT, MatrixCase,
                          mood_text, own_thread_ids, own_threads, status_body, tray_balloon,
                          tray_tip)
from harness import SETTINGS_COMMAND, TRAY_CALLBACK, TRAY_ICON_ID, WM_COMMAND, find_window, \
    wait_until, wh
from service import SIGN_IN, UPDATE, start_service
from skype_sim import start_sim

FIRST_RETRY = 5
REDIRECTED = "302 to a network's sign-in page once"
PROXY_PASSWORD = '407 from a proxy that wants a password once'
RETRIED = [(f'{code} once', {'status': code}) for code in (503, 502, 504)] + [
    (REDIRECTED, {'status': 302, 'headers': {'Location': 'http://twitter.com' + SIGN_IN}}),
    (PROXY_PASSWORD, {'status': 407, 'headers': {'Proxy-Authenticate': 'Basic realm="proxy"'}})]
WAITING = {REDIRECTED: 'the network sent the request elsewhere (a sign-in page?)',
           PROXY_PASSWORD: 'the proxy asks for a password'}
REFUSED_ACCOUNT = '401 with a Basic challenge'
ORDER = 'four moods set 0.2 s apart, the first answered 503'
NIN_BALLOONUSERCLICK = 0x405
MOOD_STATE_MSG = 0x8002


class ServiceFaultsOnThePost(MatrixCase):

    def taken(self, svc, text):
        return [r for r in self.received(svc, text) if r.status == 200]

    def wait_tip(self, part, timeout=10):
        return wait_until(lambda: part in (tray_tip() or '') and tray_tip(), timeout, 0.2) or \
            tray_tip()

    def test_each_fault_of_the_answer_to_a_post(self):
        svc, sim, program, window = self.start_attached()
        idle = own_threads(program)
        # The refusal first: it closes every connection. The delays last: a
        # post that waits for its answer holds back the moods set after it.
        last = [DELAY_60, DELAY_20]
        rows = ([r for r in SERVICE_FAULTS if r[0] not in last] + RETRIED + [(ORDER, None)] +
                sorted((r for r in SERVICE_FAULTS if r[0] in last), key=lambda r: last.index(r[0])))
        delayed = {}
        for name, fault in rows:
            text = mood_text('post', name)
            with self.row(name):
                if name == REFUSED:
                    svc.refuse_connections()
                    try:
                        self.assertEqual(sim.mood(text), 1)
                        # a refused connection needs no timeout to give up
                        self.assertIn("MoodRelayer\\nMood waiting: the service can't be reached "
                                      f'(next try in {FIRST_RETRY} s)',
                                      self.wait_tip("can't be reached", TIMEOUT - 5))
                    finally:
                        svc.accept_connections()
                    self.assertTrue(wait_until(lambda: self.taken(svc, text), FIRST_RETRY + 10),
                                    'not posted once the service was back')
                    self.assertIn('MoodRelayer\\nMood posted at ', self.wait_tip('posted'))
                elif name == ORDER:
                    self.moods_keep_their_order(svc, sim)
                else:
                    svc.fault(path=UPDATE, **fault)
                    before = own_thread_ids(program)
                    self.assertEqual(sim.mood(text), 1)
                    if 'delay' in fault:
                        # the posting thread exists once the notification is taken
                        thread = own_thread_ids(program) - before
                        self.assertEqual(len(thread), 1)
                        got = self.wait_received(svc, text, TIMEOUT + 10, answered=False)
                        delayed[name] = (thread.pop(), time.monotonic())
                    else:
                        got = self.wait_received(svc, text)
                    self.assertGreaterEqual(len(got), 1, 'the POST did not reach the service')
                    self.assertIsNotNone(got[0].fault, 'the fault went to another request')
                    if (name, fault) in RETRIED:
                        # never "posted" for what the service did not take
                        why = WAITING.get(name, f'the service answered {fault["status"]}')
                        self.assertIn(f'Mood waiting: {why} (next try in {FIRST_RETRY} s)',
                                      self.wait_tip('waiting'))
                        self.assertEqual(svc.requests(path=SIGN_IN), [], 'redirect followed')
                        self.assertTrue(wait_until(lambda: self.taken(svc, text),
                                                   FIRST_RETRY + 10), 'not tried again')
                    if name == REFUSED_ACCOUNT:
                        self.account_refusal_is_told(svc, sim, window, fault, text)
                self.assert_alive_and_menu_opens(program, window)

        # Each delayed posting thread gives up at its timeout, before the
        # service answers (and so also at 20 s, a little after it).
        for name, (thread, arrived) in delayed.items():
            with self.row(name, 'the posting thread ends at the timeout'):
                ended = wait_until(lambda: thread not in own_thread_ids(program),
                                   arrived + TIMEOUT + 3 - time.monotonic(), 0.1)
                self.assertTrue(ended, 'the posting thread still waits')

        # By now every row but the delays lies more than a retry back.
        retried = [n for n, _ in RETRIED]
        for name, _ in rows:
            if name == ORDER:
                continue
            with self.row(name, 'posted once'):
                got = self.received(svc, mood_text('post', name))
                self.assertEqual(len(got), 2 if name in retried else 1, got)
                if name in retried + [REFUSED]:
                    self.assertEqual(got[-1].status, 200)

        with self.row('after every fault'):
            self.assertEqual(sim.mood('post_after_the_faults'), 1)
            self.assertEqual(len(self.wait_received(svc, 'post_after_the_faults')), 1)
            self.assertTrue(self.wait_idle(program, idle, TIMEOUT))
            # the main thread's news of a mood, posted by another process, with junk
            wh('post', window, MOOD_STATE_MSG, 0xDEAD, 0xDEADBEEF)
            self.assert_alive_and_menu_opens(program, window)
            # a restarted shell gets the icon back with the tooltip it had
            wh('traydel', window, TRAY_ICON_ID)
            wh('broadcast', 'reg:TaskbarCreated')
            self.assertIn('MoodRelayer\\nMood posted at ', self.wait_tip('posted'))

    def moods_keep_their_order(self, svc, sim):
        texts = [mood_text('order', str(i)) for i in range(4)]
        svc.fault(path=UPDATE, status=503)
        for text in texts:
            self.assertEqual(sim.mood(text), 1)
            time.sleep(0.2)
        bodies = [status_body(t) for t in texts]
        self.assertTrue(wait_until(lambda: all(self.taken(svc, t) for t in texts),
                                   FIRST_RETRY + 15), 'not all four were posted')
        time.sleep(0.5)  # room for a late second copy
        taken = [r.body for r in svc.requests(path=UPDATE, method='POST', authorized=True)
                 if r.body in bodies and r.status == 200]
        self.assertEqual(taken, bodies)

    def account_refusal_is_told(self, svc, sim, window, fault, text):
        self.assertIn('MoodRelayer\\nMood not posted: the account name or password was refused',
                      self.wait_tip('refused'))
        first = tray_balloon(5000)
        self.assertIsNotNone(first, 'no balloon')
        self.assertIn('Settings', first[1])
        # Windows reports a click on the balloon (Wine's tray does not): the settings open.
        wh('post', window, TRAY_CALLBACK, TRAY_ICON_ID, NIN_BALLOONUSERCLICK)
        dialog = find_window('#32770', 'Option', 5000)
        self.assertIsNotNone(dialog, 'a click on the balloon did not open the settings')
        wh('click', dialog, 2)  # Cancel: nothing saved
        self.assertTrue(wait_until(lambda: find_window('#32770', 'Option', 0) is None))

        def refused_again(suffix):
            svc.fault(path=UPDATE, **fault)
            self.assertEqual(sim.mood(text + suffix), 1)
            self.assertEqual(len(self.wait_received(svc, text + suffix)), 1)

        refused_again('_unsaved')
        again = tray_balloon(3500)  # Wine shows a balloon 2 s after it is asked for
        self.assertIn(again and again[0], (None, first[0]), 'told again before a save')

        wh('post', window, WM_COMMAND, SETTINGS_COMMAND, 0)
        dialog = find_window('#32770', 'Option', 5000)
        wh('click', dialog, 1)  # OK saves them
        self.assertTrue(wait_until(lambda: find_window('#32770', 'Option', 0) is None))
        refused_again('_saved')
        self.assertTrue(wait_until(lambda: (tray_balloon(500) or (first[0],))[0] != first[0], 8),
                        'not told again after the settings were saved')

    def test_exit_while_posts_wait_is_as_prompt_as_without(self):
        svc = start_service(self)
        took = {}
        for case in ('no post waiting', 'posts waiting'):
            sim = start_sim(self, status=0)
            program, _ = self.start_program(svc, sim)
            if case == 'posts waiting':
                svc.refuse_connections()
                self.assertEqual(sim.mood('exit_waits_for_a_retry'), 1)
                self.assertEqual(sim.mood('exit_waits_for_its_turn'), 1)
                self.assertIn("can't be reached", self.wait_tip("can't be reached"))
            start = time.monotonic()
            self.assertEqual(program.exit_through_menu_command(), 0)
            took[case] = time.monotonic() - start
            sim.close()
            svc.accept_connections()
        print(f'  exit: {took}', flush=True)
        self.assertLess(took['posts waiting'], took['no post waiting'] + 1.5)
        self.assertEqual(svc.requests(path=UPDATE, authorized=True), [])


if __name__ == '__main__':
    unittest.main()

"""Fault matrix, the chat client: odd notifications, strange senders, repeated
attach replies, a flood of mood changes and a client that closes or hangs in
the middle of the attach exchange, all in one program run. Each row names the posts it
must cause; exactly those, each once and in order, must reach the service."""
import time
import unittest

from fault_matrix import TIMEOUT, MatrixCase, own_threads, status_body
from service import UPDATE
from skype_sim import MOOD_PREFIX, NO_ANSWER, VANISHED, start_sim
from tray_menu import menu_opens

NOTIFICATION_LIMIT = 65536
FLOOD = 200
FLOOD_SECONDS = 2.0
# What of a long mood text fits into the 1024-byte status body.
FITS = 1024 - len('status=') - 2


class ClientFaults(MatrixCase):

    def test_each_fault_of_the_chat_client(self):
        self.svc, self.sim, self.program, self.window = self.start_attached()
        self.idle = own_threads(self.program)
        rows = [
            ('cbData 0', self.cbdata_0),
            ('cbData 1', self.cbdata_1),
            ('cbData 18', self.cbdata_18),
            ('cbData 19', self.cbdata_19),
            ('cbData 65,536', self.cbdata_65536),
            ('payloads without a zero byte', self.without_zero),
            ('texts from a second window', self.second_window),
            ('repeated attach replies', self.repeated_attach_replies),
            (f'flood of {FLOOD} mood changes', self.flood),
            ('client closed in the middle of the attach exchange', self.closed_while_attaching),
            ('client that stops answering in the attach exchange', self.hung_while_attaching),
        ]
        for name, action in rows:
            with self.row(name):
                before = len(self.posts())
                expected = action()
                self.service_got(expected, before, timeout=30 if len(expected) > 1 else 10)
                self.assertTrue(self.program.running(), 'the program has ended')
                self.assertTrue(menu_opens(self.window), 'the tray menu did not open within 2 s')

    def posts(self):
        return [r.body for r in self.svc.requests(path=UPDATE, method='POST', authorized=True)]

    def service_got(self, expected, before, timeout):
        """Exactly the expected bodies reached the service since `before`, in
        the order their moods were set."""
        self.svc.wait_for(before + len(expected), path=UPDATE, method='POST', authorized=True,
                          timeout=timeout)
        time.sleep(0.5)  # room for a late second copy
        self.assertEqual(self.posts()[before:], expected)

    def notify(self, data, cbdata=None, sender='api'):
        self.assertEqual(self.sim.send(data, cbdata, sender), 1)

    # ---- the rows; each returns the bodies it must cause
    def cbdata_0(self):
        self.notify(b'', 0)
        return []

    def cbdata_1(self):
        self.notify(b'P', 1)
        return []

    def cbdata_18(self):
        self.notify(MOOD_PREFIX, 18)  # the prefix alone, no terminator
        return []

    def cbdata_19(self):
        self.notify(MOOD_PREFIX + b'\0', 19)  # an empty mood text
        return [status_body(b'')]

    def cbdata_65536(self):
        text = b'long' + b'x' * (NOTIFICATION_LIMIT - len(MOOD_PREFIX) - 5)
        self.notify(MOOD_PREFIX + text + b'\0', NOTIFICATION_LIMIT)
        return [status_body(text[:FITS])]

    def without_zero(self):
        self.notify(MOOD_PREFIX + b'nozero')
        long_text = b'y' * (NOTIFICATION_LIMIT - len(MOOD_PREFIX))
        self.notify(MOOD_PREFIX + long_text)
        return [status_body(b'nozero'), status_body(long_text[:FITS])]

    def second_window(self):
        main = int(self.window, 16)
        for sender in ('second', '0', str(main), '0x12345678'):
            self.notify(MOOD_PREFIX + f'from_{sender}'.encode() + b'\0', sender=sender)
        return []

    def repeated_attach_replies(self):
        def protocol_commands():
            return [e for e in self.sim.commands_received() if e.data == b'PROTOCOL 5\0']
        self.sim.clear_log()
        replies = 21  # from both windows of the client, the last from its API window
        for i in range(replies):
            self.sim.attach(0, 'second' if i % 2 else 'api')
        self.assertTrue(self.sim.wait_for(lambda: len(protocol_commands()) >= replies),
                        f'{len(protocol_commands())} commands for {replies} replies')
        self.assertEqual(protocol_commands()[-1]['to'], 'api')
        self.assertEqual(self.sim.mood('after_the_replies'), 1)
        return [status_body(b'after_the_replies')]

    def flood(self):
        texts = [f'flood_{i:03}' for i in range(FLOOD)]
        start = time.monotonic()
        for i, text in enumerate(texts):
            self.assertEqual(self.sim.mood(text), 1)
            pause = start + FLOOD_SECONDS * (i + 1) / FLOOD - time.monotonic()
            if pause > 0:
                time.sleep(pause)
        took = time.monotonic() - start
        self.assertLess(took, 2 * FLOOD_SECONDS, 'the simulator was too slow for a flood')
        self.assertTrue(self.wait_idle(self.program, self.idle, 2 * TIMEOUT),
                        f'threads: {own_threads(self.program)}, idle {self.idle}')
        return [status_body(t) for t in texts]

    def closed_while_attaching(self):
        self.sim.close()  # the client closes; the program searches again
        vanishing = start_sim(self, status=NO_ANSWER)
        self.assertTrue(vanishing.wait_for(lambda: vanishing.discoveries()),
                        'no discovery after the client closed')
        self.assertEqual(vanishing.vanish_during_attach(), VANISHED)
        self.assertTrue(self.program.running(), 'the program has ended')
        # A client started afresh is attached and relayed.
        self.sim = start_sim(self, status=0)
        self.assertTrue(self.sim.wait_for(lambda: self.sim.commands_received()),
                        'the next client was never attached')
        self.assertEqual(self.sim.mood('after_the_vanished_client'), 1)
        return [status_body(b'after_the_vanished_client')]

    def hung_while_attaching(self):
        self.sim.close()
        hung = start_sim(self, status=NO_ANSWER)
        self.assertTrue(hung.wait_for(lambda: hung.discoveries()),
                        'no discovery after the client closed')
        hung.hang_during_attach()
        # The link gives up on it within seconds and searches again.
        self.sim = start_sim(self, status=0)
        attached = self.sim.wait_for(lambda: self.sim.commands_received(), 15)
        hung.process.kill()
        self.assertTrue(attached, 'the link waits for the hung client')
        self.assertEqual(self.sim.mood('after_the_hung_client'), 1)
        return [status_body(b'after_the_hung_client')]


if __name__ == '__main__':
    unittest.main()

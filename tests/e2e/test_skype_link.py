"""The Skype link end to end: the real program under Wine, the chat-client
simulator as the Skype client and the fake service as the web service."""
import time
import unittest

import harness
from harness import ScenarioCase, find_window, wh
from service import UPDATE, start_service
from skype_sim import NO_ANSWER, start_sim

ACCOUNT = {'username': 'alice', 'password': 'secret'}
PROTOCOL_5 = b'PROTOCOL 5\0'


def protocol_commands(sim):
    return [e for e in sim.commands_received() if e.data == PROTOCOL_5]


class SkypeLinkScenario(ScenarioCase):
    def start_program(self, service=None):
        env = service.env if service else None
        return self.program(ACCOUNT, env=env).start()

    def wait_attached(self, sim, count=1, timeout=15):
        self.assertTrue(sim.wait_for(lambda: len(protocol_commands(sim)) >= count, timeout),
                        f'no "PROTOCOL 5" came; log: {sim.log()}')

    def posts(self, service):
        return [r.body for r in service.requests(path=UPDATE, authorized=True)]

    def assert_posts(self, service, expected, timeout=10):
        """Waits for the expected bodies, then a little longer for any extra one."""
        service.wait_for(len(expected), timeout=timeout, path=UPDATE, authorized=True)
        time.sleep(0.5)
        self.assertEqual(sorted(self.posts(service)), sorted(expected))


class Attachment(SkypeLinkScenario):
    def test_discovery_goes_on_until_a_client_attaches(self):
        sim = start_sim(self, status=NO_ANSWER)
        self.start_program()
        self.assertTrue(sim.wait_for(lambda: sim.discoveries(), 20), 'no discovery came')
        time.sleep(3)
        found = sim.discoveries()
        first = found[0].t
        within = [e for e in found if e.t - first < 3000]
        # About ten in three seconds; the bounds only catch a stopped or racing timer.
        self.assertTrue(3 <= len(within) <= 25, f'{len(within)} discoveries in 3 s')
        self.assertEqual({e['from'] for e in found}, {found[0]['from']})
        self.assertEqual({e['class'] for e in found}, {'SkypeSR'})
        self.assertEqual(sim.commands_received(), [])

        for status in (1, 2, 3, 0x8001):
            with self.subTest(status=status):
                sim.set_status(status)
                sim.clear_log()
                self.assertTrue(sim.wait_for(lambda: len(sim.attaches_sent(status)) >= 2),
                                'discovery stopped')
                self.assertEqual(sim.commands_received(), [])

    def test_successful_attach_gets_one_protocol_command_each_time(self):
        sim = start_sim(self, status=0)
        self.start_program()
        self.wait_attached(sim)
        time.sleep(1)
        commands = protocol_commands(sim)
        relay = sim.discoveries()[0]['from']
        # Each attach reply with status 0 is answered by exactly one command;
        # normally the first discovery is the only one answered.
        self.assertEqual(len(commands), len(sim.attaches_sent(0)))
        for command in commands:
            self.assertEqual((command['from'], command['class'], command['to']),
                             (relay, 'SkypeSR', 'api'))
            self.assertEqual((command['dwData'], command['cbData']), ('0', '11'))
        # The client confirmed the protocol, and that text is ignored.
        self.assertTrue([e for e in sim.log() if e.kind == 'sent' and e.data == PROTOCOL_5])

        last = sim.log()[-1].t
        time.sleep(1.5)
        self.assertEqual([e for e in sim.discoveries() if e.t > last], [], 'discovery went on')

        # A second attach, from the client's other window this time: the
        # command once more, to that window.
        sim.clear_log()
        sim.attach(0, 'second')
        self.wait_attached(sim)
        time.sleep(0.5)
        self.assertEqual([e['to'] for e in protocol_commands(sim)], ['second'])
        self.assertEqual(sim.discoveries(), [])


class MoodRelay(SkypeLinkScenario):
    def test_mood_changes_become_posts(self):
        service = start_service(self)
        sim = start_sim(self, status=0)
        self.start_program(service)
        self.wait_attached(sim)

        self.assertEqual(sim.mood('Hello'), 1)
        self.assert_posts(service, [b'status=Hello '])

        service.clear_log()
        sim.mood('again')
        sim.mood('again')
        sim.mood(b'\xe3\x81\x82')
        sim.mood('')
        self.assert_posts(service, [b'status=again ', b'status=again ', b'status=%E3%81%82 ',
                                    b'status= '])

    def test_other_texts_and_senders_are_not_posted(self):
        service = start_service(self)
        sim = start_sim(self, status=0)
        self.start_program(service)
        self.wait_attached(sim)

        prefix = b'PROFILE MOOD_TEXT '
        self.assertEqual(sim.mood('from the other window', sender='second'), 1)
        self.assertEqual(sim.mood('from nobody', sender='0'), 1)
        self.assertEqual(sim.send(prefix + b'cut', cbdata=18), 1)
        self.assertEqual(sim.send(b'PROFILE MOOD_TEXTnospace\0'), 1)
        self.assertEqual(sim.send(b'profile mood_text lower\0'), 1)
        self.assertEqual(sim.send(b'PROFILE FULLNAME Some Body\0'), 1)
        # A payload without its zero byte: only what is inside it is posted.
        self.assertEqual(sim.send(prefix + b'boundless', cbdata=len(prefix) + 5), 1)
        self.assert_posts(service, [b'status=bound '])


class NotAttached(SkypeLinkScenario):
    def test_nothing_is_posted_before_a_client_attaches(self):
        service = start_service(self)
        sim = start_sim(self, status=NO_ANSWER)
        self.start_program(service)
        self.assertTrue(sim.wait_for(lambda: sim.discoveries(), 20))
        self.assertEqual(sim.mood('too early'), 1)
        self.assertEqual(sim.mood('from nobody', sender='0'), 1)

        sim.set_status(0)
        self.wait_attached(sim)
        sim.mood('attached now')
        self.assert_posts(service, [b'status=attached+now '])

    def test_refused_protocol_ends_the_link_but_not_the_program(self):
        service = start_service(self)
        sim = start_sim(self, status=0, accept=False)
        program = self.start_program(service)
        self.assertTrue(sim.wait_for(lambda: protocol_commands(sim), 20))
        self.assertEqual(protocol_commands(sim)[0]['result'], '0')
        time.sleep(1)
        sim.clear_log()
        time.sleep(1.5)
        self.assertEqual(sim.discoveries(), [], 'discovery went on after the refusal')
        self.assertEqual(sim.mood('Hello'), 0, 'the relay window should be gone')
        time.sleep(0.5)
        self.assertEqual(self.posts(service), [])

        # The tray and its menu commands still answer.
        main = program.main_window()
        self.assertEqual(wh('tray', main, harness.TRAY_ICON_ID), '1')
        wh('post', main, harness.WM_COMMAND, harness.SETTINGS_COMMAND)
        dialog = find_window('#32770', 'Option')
        self.assertIsNotNone(dialog, 'the settings dialog did not open')
        wh('click', dialog, 2)  # Cancel
        self.assertTrue(program.running())


class Restart(SkypeLinkScenario):
    def test_restarted_client_is_attached_again(self):
        service = start_service(self)
        first = start_sim(self, status=0)
        self.start_program(service)
        self.wait_attached(first)
        first.close()

        second = start_sim(self, status=0)
        self.wait_attached(second)
        self.assertEqual(second.commands_received()[0]['class'], 'SkypeSR')
        self.assertEqual(second.mood('back again'), 1)
        self.assert_posts(service, [b'status=back+again '])


if __name__ == '__main__':
    unittest.main()

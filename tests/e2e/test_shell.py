"""The application shell end to end: single instance, first-run dialog, tray icon and menu."""
import os
import unittest

from harness import (EXIT_COMMAND, TRAY_CALLBACK, TRAY_ICON_ID, WM_COMMAND, ScenarioCase,
                     find_window, list_windows, wait_until, wh)

WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK = 0x201, 0x202, 0x203
WM_RBUTTONDOWN, WM_RBUTTONUP = 0x204, 0x205
VK_ESCAPE, VK_X = 0x1B, 0x58


def tray_has_icon(window):
    return wh('tray', window, TRAY_ICON_ID) == '1'


def menus():
    return [w for w in list_windows('#32768') if w['visible']]


class ShellScenario(ScenarioCase):

    def started(self, name='alice'):
        program = self.program({'username': name, 'password': 'secret'}).start()
        window = program.main_window()
        self.assertIsNotNone(window, 'the main window did not appear')
        self.assertTrue(wait_until(lambda: tray_has_icon(window)), 'no tray icon')
        return program, window

    def test_second_start_exits_with_1_while_the_first_runs(self):
        first, _ = self.started()
        second = self.program({'username': 'alice'}).start()
        self.assertEqual(second.wait_exit(15), 1)
        self.assertTrue(first.running())

    def test_short_name_brings_the_dialog_and_three_characters_do_not(self):
        program = self.program({'username': 'ab', 'password': 'x'}).start()
        dialog = find_window('#32770', 'Option', 10000)
        self.assertIsNotNone(dialog, 'a two-character name must bring up the dialog')
        self.assertIsNone(find_window('MoodRelayer', 'MoodRelayer', 300),
                          'start-up must wait for the dialog')
        wh('click', dialog, 1)  # OK with the name still short: start-up goes on
        self.assertIsNotNone(program.main_window())
        self.assertEqual(program.exit_through_menu_command(), 0)

        program, _ = self.started('abc')
        self.assertIsNone(find_window('#32770', 'Option', 500))

    def test_cancel_at_first_run_exits_with_1_and_writes_nothing(self):
        program = self.program().start()
        dialog = find_window('#32770', 'Option', 10000)
        self.assertIsNotNone(dialog)
        wh('settext', dialog, 4000, 'someone')
        wh('click', dialog, 2)
        self.assertEqual(program.wait_exit(10), 1)
        self.assertFalse(os.path.exists(program.ini))

    def test_ok_with_empty_fields_goes_on_with_empty_settings(self):
        program = self.program().start()
        dialog = find_window('#32770', 'Option', 10000)
        self.assertIsNotNone(dialog)
        wh('click', dialog, 1)
        window = program.main_window()
        self.assertIsNotNone(window)
        self.assertTrue(wait_until(lambda: tray_has_icon(window)))
        with open(program.ini, 'rb') as f:
            self.assertEqual(f.read(), b'[MoodRelayer]\r\nusername=\r\npassword=\r\n')

    def test_presses_open_the_menu_at_the_mouse_other_clicks_do_not(self):
        program, window = self.started()
        for mouse in (WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, 0x200):
            wh('post', window, TRAY_CALLBACK, TRAY_ICON_ID, mouse)
        wh('post', window, TRAY_CALLBACK, 1002, WM_LBUTTONDOWN)  # another icon id
        wh('send', window, 0, 0, 0)  # WM_NULL: the posts before it are handled
        self.assertEqual(menus(), [])

        for press, (x, y) in ((WM_LBUTTONDOWN, (600, 500)), (WM_RBUTTONDOWN, (300, 650))):
            wh('cursor', x, y)
            wh('post', window, TRAY_CALLBACK, TRAY_ICON_ID, press)
            shown = wait_until(menus)
            self.assertEqual(len(shown), 1, f'one menu after press {press:#x}')
            left, top, right, bottom = shown[0]['rect']
            self.assertEqual((left, bottom), (x, y), 'menu bottom-left at the mouse')
            wh('key', shown[0]['hwnd'], VK_ESCAPE)
            self.assertTrue(wait_until(lambda: not menus()), 'Escape closes the menu')

    def test_exit_from_the_menu_removes_the_icon_and_exits_with_0(self):
        program, window = self.started()
        wh('cursor', 500, 400)
        wh('post', window, TRAY_CALLBACK, TRAY_ICON_ID, WM_RBUTTONDOWN)
        menu = wait_until(menus)
        self.assertTrue(menu)
        wh('key', menu[0]['hwnd'], VK_X, 'x')  # the item's mnemonic: Exit(&x)
        self.assertEqual(program.wait_exit(10), 0)
        self.assertFalse(tray_has_icon(window))

    def test_taskbar_restart_brings_the_icon_back(self):
        program, window = self.started()
        wh('traydel', window, TRAY_ICON_ID)  # the shell forgets it, as after a crash
        self.assertFalse(tray_has_icon(window))
        wh('broadcast', 'reg:TaskbarCreated')
        self.assertTrue(wait_until(lambda: tray_has_icon(window)), 'icon not re-added')
        self.assertTrue(program.running())


if __name__ == '__main__':
    unittest.main()

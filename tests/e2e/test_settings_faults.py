"""Bad settings files: the program starts, keeps what it can and stays usable."""
import os
import stat
import subprocess
import unittest

from harness import SETTINGS_COMMAND, WM_COMMAND, ScenarioCase, find_window, wait_until, wh
from tray_menu import menu_opens


def make_read_only(case, path):
    """Read-only for real: Wine as root writes through mode bits, so the file is
    also made immutable where the file system allows it."""
    os.chmod(path, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    case.addCleanup(os.chmod, path, stat.S_IRUSR | stat.S_IWUSR)
    if os.geteuid() == 0:
        if subprocess.run(['chattr', '+i', path], stderr=subprocess.DEVNULL).returncode != 0:
            case.skipTest('running as root where files cannot be made immutable')
        case.addCleanup(subprocess.run, ['chattr', '-i', path])


class SettingsFaults(ScenarioCase):

    def open_settings(self, window):
        wh('post', window, WM_COMMAND, SETTINGS_COMMAND, 0)
        dialog = find_window('#32770', 'Option', 5000)
        self.assertIsNotNone(dialog)
        return dialog

    def dismiss_not_saved_box(self, program):
        """The message box that tells the settings were not saved: its texts, once
        its OK is clicked and it is gone without a second one."""
        box = find_window('#32770', 'MoodRelayer', 5000)
        self.assertIsNotNone(box, 'nobody was told that the settings were not saved')
        told = wh('children', box)
        wh('click', box, 1)
        self.assertTrue(wait_until(lambda: find_window('#32770', 'MoodRelayer', 0) is None),
                        'the box stays, or a second one came')
        self.assertIn('could not save your settings to', told)
        self.assertIn(('Z:' + program.ini).replace('/', '\\'), told)
        return told

    def test_binary_junk_in_the_file(self):
        # a two-byte name among the junk: too short, so the dialog asks
        junk = bytes(range(1, 256)) * 8 + b'\r\n[MoodRelayer]\r\nusername=\xfe\x01\r\n\x00\x00\xff'
        program = self.program(junk).start()
        dialog = find_window('#32770', 'Option', 10000)  # the name read is too short
        self.assertIsNotNone(dialog)
        wh('settext', dialog, 4000, 'junkfree')
        wh('click', dialog, 1)
        window = program.main_window()
        self.assertIsNotNone(window)
        self.assertTrue(menu_opens(window))
        with open(program.ini, 'rb') as f:
            self.assertIn(b'username=junkfree', f.read())

    def test_values_of_ten_thousand_characters_are_cut_to_255(self):
        program = self.program({'username': 'u' * 10000, 'password': 'p' * 10000}).start()
        window = program.main_window()
        self.assertIsNotNone(window, 'a long name is long enough: no dialog, start-up goes on')
        dialog = self.open_settings(window)
        self.assertEqual(wh('gettext', dialog, 4000), 'u' * 255)
        wh('click', dialog, 2)
        self.assertTrue(menu_opens(window))

    def test_read_only_file_keeps_the_new_values_in_memory(self):
        program = self.program({'username': 'alice', 'password': 'old'})
        make_read_only(self, program.ini)
        with open(program.ini, 'rb') as f:
            before = f.read()
        program.start()
        window = program.main_window()
        dialog = self.open_settings(window)
        wh('settext', dialog, 4000, 'bob')
        wh('settext', dialog, 4001, 'new')
        wh('click', dialog, 1)
        self.dismiss_not_saved_box(program)
        self.assertTrue(wait_until(lambda: find_window('#32770', 'Option', 0) is None))
        with open(program.ini, 'rb') as f:
            self.assertEqual(f.read(), before, 'the read-only file must stay as it was')
        dialog = self.open_settings(window)
        self.assertEqual(wh('gettext', dialog, 4000), 'bob')
        self.assertEqual(wh('gettext', dialog, 4001), 'new')
        wh('click', dialog, 2)
        self.assertTrue(menu_opens(window))

    def test_settings_that_cannot_be_saved_are_told_and_serve_this_run(self):
        # A folder in place of the file: as root under Wine every file can be
        # written, and so the program sees a folder it may not write to.
        program = self.program()
        os.mkdir(program.ini)
        program.start()
        dialog = find_window('#32770', 'Option', 10000)  # nothing read: the dialog asks
        self.assertIsNotNone(dialog)
        wh('settext', dialog, 4000, 'carol')
        wh('settext', dialog, 4001, 'new')
        wh('click', dialog, 1)
        self.dismiss_not_saved_box(program)
        window = program.main_window()
        self.assertIsNotNone(window, 'start-up goes on with the values typed')
        self.assertTrue(os.path.isdir(program.ini))
        dialog = self.open_settings(window)
        self.assertEqual(wh('gettext', dialog, 4000), 'carol')
        self.assertEqual(wh('gettext', dialog, 4001), 'new')
        wh('click', dialog, 2)
        self.assertTrue(menu_opens(window))

    def test_a_folder_named_outside_the_ansi_code_page(self):
        # A Japanese folder name on a Western system (code page 1252 here): the
        # ANSI path of the exe would hold "?" in its place and name no file.
        program = self.program({'username': 'alice', 'password': 'old'},
                               folder_name='\u8a2d\u5b9a\u30c6\u30b9\u30c8').start()
        window = program.main_window()
        self.assertIsNotNone(window, 'the stored name is read: no dialog at start-up')
        dialog = self.open_settings(window)
        self.assertEqual(wh('gettext', dialog, 4000), 'alice')
        wh('settext', dialog, 4000, 'bob')
        wh('settext', dialog, 4001, 'new pw')
        wh('click', dialog, 1)
        self.assertTrue(wait_until(lambda: find_window('#32770', 'Option', 0) is None))
        self.assertIsNone(find_window('#32770', 'MoodRelayer', 0), 'saved, yet told it was not')
        with open(program.ini, 'rb') as f:
            self.assertEqual(f.read(), b'[MoodRelayer]\r\nusername=bob\r\npassword=new pw\r\n')
        self.assertTrue(menu_opens(window))


if __name__ == '__main__':
    unittest.main()

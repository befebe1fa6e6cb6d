#!/usr/bin/env python3
"""The demo behind scripts/demo: runs the program with prepared settings, shows
its tray icon and menu, saves screenshots under build/demo/, and ends the
program through its own "Exit(&x)" command."""
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'e2e'))
import harness  # noqa: E402

DEMO = os.path.join(ROOT, 'build', 'demo')


def screenshot(name, crop=None):
    path = os.path.join(DEMO, name)
    args = ['import', '-window', 'root']
    if crop:
        args += ['-crop', crop]
    subprocess.run(args + [path], check=True)
    print(f'demo: screenshot {os.path.relpath(path, ROOT)}')
    return path


def main():
    shutil.rmtree(DEMO, ignore_errors=True)
    os.makedirs(DEMO)
    program = harness.Program({'username': 'demo_user', 'password': 'demo-password'})
    program.start()
    try:
        window = program.main_window()
        if not window:
            sys.exit('demo: the program did not start')
        if not harness.wait_until(lambda: harness.wh('tray', window, harness.TRAY_ICON_ID) == '1', 10):
            sys.exit('demo: no tray icon')
        print('demo: MoodRelayer runs; its icon is in the tray')
        tray = [w for w in harness.list_windows() if w['title'] == 'Wine System Tray']
        if tray:
            left, top, right, bottom = tray[0]['rect']
            screenshot('tray.png', f'{right - left}x{bottom - top}+{left}+{top}')
        # open the tray menu as a click on the icon does, and show it
        harness.wh('cursor', 400, 300)
        harness.wh('post', window, harness.TRAY_CALLBACK, harness.TRAY_ICON_ID, 0x204)
        menu = harness.wait_until(lambda: harness.list_windows('#32768'), 5)
        time.sleep(0.3)
        screenshot('menu.png')
        if menu:
            harness.wh('key', menu[0]['hwnd'], 0x58, 'x')  # Exit(&x)
        code = program.wait_exit(10)
        print(f'demo: "Exit(&x)" ended the program with exit code {code}')
        if code != 0:
            sys.exit(1)
    finally:
        program.close()


if __name__ == '__main__':
    main()

#!/usr/bin/env python3
"""The demo behind scripts/demo: runs the program with prepared settings beside
the local web service and the chat-client simulator; shows the timeline popup
rising with the service's timeline, the tray icon, a mood change relayed to the
service and the tray menu; saves screenshots under build/demo/ (popup.png,
tray.png, menu.png) and ends the program through its own "Exit(&x)" command."""
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'e2e'))
import harness  # noqa: E402
import demo_mood  # noqa: E402
import popup_watch  # noqa: E402

# The sample timeline: a few authors, characters outside ASCII (the service
# sends them as numeric references; Japanese and Cyrillic beyond any Western
# code page) and a markup character (sent as an entity).
TIMELINE = [
    ('alice', 'Café au lait before the standup'),
    ('haruka', '今日は晴れ、散歩に行こう'),
    ('bob', 'Tom & Jerry marathon tonight'),
    ('zoë', 'Naïve question: who took my €5?'),
    ('dmitri', 'Привет из Москвы'),
    ('frank', 'This sixth status stays out of the popup'),
]

DEMO = os.path.join(ROOT, 'build', 'demo')


def screenshot(name, crop=None):
    path = os.path.join(DEMO, name)
    args = ['import', '-window', 'root']
    if crop:
        args += ['-crop', crop]
    subprocess.run(args + [path], check=True)
    print(f'demo: screenshot {os.path.relpath(path, ROOT)}')
    return path


def show_popup():
    """At start-up the popup rises once with the first five timeline entries."""
    risen = popup_watch.standing(timeout=10)
    if not risen:
        sys.exit('demo: the timeline popup did not rise')
    left, top, right, bottom = risen['rect']
    print(f'demo: the timeline popup stands at ({left}, {top})-({right}, {bottom})')
    area = popup_watch.work_area()
    width, height = 360, max(bottom - top + 60, 220)
    screenshot('popup.png', f'{width}x{height}+{area[2] - width}+{area[3] - height}')
    hidden = harness.wait_until(lambda: not (popup_watch.popup() or {}).get('visible'), 10)
    print('demo: ...and slid away again' if hidden else 'demo: the popup did not slide away')


def main():
    shutil.rmtree(DEMO, ignore_errors=True)
    os.makedirs(DEMO)
    service, sim = demo_mood.start_peers('demo_user', 'demo-password', TIMELINE)
    program = harness.Program({'username': 'demo_user', 'password': 'demo-password'},
                              env=service.env)
    program.start()
    try:
        window = program.main_window()
        if not window:
            sys.exit('demo: the program did not start')
        if not harness.wait_until(lambda: harness.wh('tray', window, harness.TRAY_ICON_ID) == '1', 10):
            sys.exit('demo: no tray icon')
        print('demo: MoodRelayer runs; its icon is in the tray')
        show_popup()
        tray = [w for w in harness.list_windows() if w['title'] == 'Wine System Tray']
        if tray:
            left, top, right, bottom = tray[0]['rect']
            screenshot('tray.png', f'{right - left}x{bottom - top}+{left}+{top}')
        if not demo_mood.relay_mood(service, sim, 'Hello from the demo'):
            sys.exit(1)
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
        demo_mood.stop_peers(service, sim)


if __name__ == '__main__':
    main()

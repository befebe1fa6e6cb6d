"""The tray menu as the scenarios open it: the icon's right-click callback,
posted to the main window the way the shell delivers it.

    menu_opens(window)              clicks and waits up to 2 s
    click_icon(window); ...; menu_opened_by(deadline)
                                    clicks while the program may still be
                                    busy, then waits up to a monotonic deadline
The menu is closed again (Escape) before either returns.
"""
import time

from harness import TRAY_CALLBACK, TRAY_ICON_ID, list_windows, wait_until, wh

WM_RBUTTONDOWN = 0x204
VK_ESCAPE = 0x1B


def click_icon(window):
    wh('cursor', 500, 400)
    wh('post', window, TRAY_CALLBACK, TRAY_ICON_ID, WM_RBUTTONDOWN)


def _open_menus():
    return [w for w in list_windows('#32768') if w['visible']]


def menu_opened_by(deadline):
    """After click_icon: whether the menu was open by the deadline
    (time.monotonic(), checked at about a tenth of a second's grain)."""
    menus = wait_until(_open_menus, max(0.0, deadline - time.monotonic()))
    for menu in menus or []:
        wh('key', menu['hwnd'], VK_ESCAPE)
    wait_until(lambda: not _open_menus(), 2)
    return bool(menus)


def menu_opens(window, within=2.0):
    """The tray menu opens within the given seconds."""
    click_icon(window)
    return menu_opened_by(time.monotonic() + within)

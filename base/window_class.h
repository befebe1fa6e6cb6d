#pragma once
// The one kind of window class the program registers, for its hidden main and
// relay windows and the popup: redrawn whole on resize, the arrow cursor, no
// icon, background brush or menu.
#include <windows.h>

bool registerWindowClass(const char* name, WNDPROC procedure, HINSTANCE instance);

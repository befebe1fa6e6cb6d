#pragma once
// The Skype link: a thread of its own with a hidden relay window that talks to
// the Skype client through its Desktop API.
#include <windows.h>

// Thread entry; the parameter (the main window) is not used.
DWORD WINAPI skypeThread(LPVOID parameter);

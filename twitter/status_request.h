#pragma once
// The status update: one POST of the mood text, on a thread of its own.
#include <windows.h>

// Thread entry. The parameter is a zero-terminated text in a GlobalAlloc block;
// the thread owns it and frees it when the request is done.
DWORD WINAPI postStatusThread(LPVOID text);

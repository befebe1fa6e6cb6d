#pragma once
// The timeline popup: first request, window, poll cycle and slide.
#include <windows.h>

// Once, before the main loop; runs the first timeline request synchronously.
void setupPopup(HINSTANCE instance, HINSTANCE previousInstance);

#pragma once
// The Skype link: a thread of its own with a hidden relay window that talks to
// the Skype client through its Desktop API (registered window messages and
// WM_COPYDATA texts). Everything here runs on, and belongs to, that thread.
#include <windows.h>

constexpr char relayClassName[] = "SkypeSR";
constexpr char relayWindowTitle[] = "SkypeSendReceiveWindwow";  // spelled so on purpose
constexpr UINT_PTR discoveryTimerId = 10000;
constexpr UINT discoveryPeriodMs = 300;
// How long a command may wait for the client: one that takes longer is taken as gone.
constexpr UINT skypeCommandTimeoutMs = 3000;

extern HWND relayWindow;     // our hidden window, wParam of everything we send
extern UINT discoverMsg;     // "SkypeControlAPIDiscover"
extern UINT attachMsg;       // "SkypeControlAPIAttach"
extern HWND skypeApiWindow;  // the attached client's API window; 0 while none is

// Where an accepted mood text goes, in the order the moods come: takes over
// the text (a GlobalAlloc block). The shell sets it (to startMoodPost); tests
// put a recorder in its place.
extern void (*moodTextPoster)(char* text);

// Thread entry; the parameter (the main window) is not used. Returns when the
// link ends: its class cannot be registered, or the client refused a command.
DWORD WINAPI skypeThread(LPVOID parameter);

LRESULT CALLBACK relayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Sends one command, given in the OEM code page, to the client as UTF-8. When
// the client does not take it, the relay window is told to end the thread;
// when its window is gone by then, or it did not answer within
// skypeCommandTimeoutMs, the client is forgotten and searched for.
void sendSkypeCommand(const char* command);

// A WM_COPYDATA at the relay window: starts a posting thread for each mood-text
// notification of the attached client. Always 1, so the client sees the text taken.
LRESULT onSkypeCopyData(HWND window, WPARAM sender, LPARAM copyData);

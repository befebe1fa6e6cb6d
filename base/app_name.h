#pragma once
// The program's name: its mutex, window class and title, settings section,
// tooltip and the agent name of its web requests.
constexpr char appName[] = "MoodRelayer";
constexpr wchar_t appNameW[] = L"MoodRelayer";  // the same, for the wide calls

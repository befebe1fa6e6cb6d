#pragma once
// Where the settings live: beside the executable, same name, "ini" for its last
// three characters (C:\Tools\MoodRelayer.exe -> C:\Tools\MoodRelayer.ini).
// Wide, so that a folder named in characters outside the ANSI code page works.
#include <cstddef>

constexpr std::size_t settingsPathSize = 260;  // characters: the system's path limit

// Rewrites the zero-terminated module path in place into the settings path.
// Exactly the last three characters are replaced, whatever they are; a path
// shorter than three characters is left alone.
void settingsPathFromModulePath(wchar_t* path);

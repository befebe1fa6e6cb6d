#pragma once
// How a value is stored in the settings file so that it reads back exactly as
// it was. The system's profile reader takes off the blanks around a value and
// then one pair of quotes, single or double, that enclose it; a value that
// would lose something that way is stored inside double quotes, which the
// reader takes off again. Every other value is stored as it is, so that the
// files of nearly everybody stay as they were, and older versions of the
// program, which read the same way, read either kind right.
#include <cstddef>

// True when the value would not read back as it is.
bool valueNeedsQuotes(const wchar_t* value);

// The value as stored, into out (outSize characters, terminator included):
// quoted when it needs to be. The value's length plus three always fits;
// false, with out empty, when out is too small.
bool storedValue(const wchar_t* value, wchar_t* out, std::size_t outSize);

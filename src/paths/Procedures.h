// Path helpers shared by the program; plain string work, no Win32.
#pragma once

#include <string>

// Cuts a path just after its last backslash, so C:\img\game.bin becomes C:\img\ .
// Only the backslash separates; a path without one (or empty) is left as it is.
void StripFileName(std::wstring& path);

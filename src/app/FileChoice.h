// What the two browse actions hand to the platform's file dialogs, apart from any window.
#pragma once

#include <string>

inline constexpr wchar_t kBinFilter[] = L"BIN File (*.bin)|*.bin";

// "Description|pattern|..." into the dialog's form: each part NUL-terminated, and the
// list ended by one more NUL (the string's own terminator).
std::wstring PlatformFilter(const std::wstring& filter);

// The starting folder to hand to a dialog, or nullptr to let the dialog choose its own:
// an empty folder, or one too long for the classic dialogs (which crash on it under
// Wine), is not passed.
const wchar_t* DialogStartFolder(const std::wstring& folder);

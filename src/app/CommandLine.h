// The command line that starts the tool, built from the two paths alone.
#pragma once

#include <string>

// The tool is named bare, so the platform's executable search decides which file runs.
inline constexpr wchar_t kToolName[] = L"kx.exe";

// Longest command line, without its terminating NUL, that Windows' CreateProcess accepts.
inline constexpr size_t kMaxCommandLine = 32766;

// Quotes an argument by the Windows argv rules (CommandLineToArgvW and the C runtime)
// when it is empty or holds a space, a tab or a double quote; otherwise returns it as is.
std::wstring QuoteArgument(const std::wstring& argument);

// "kx.exe <input> <destination>", each path quoted only when it needs to be.
std::wstring BuildCommandLine(const std::wstring& inputPath, const std::wstring& destPath);

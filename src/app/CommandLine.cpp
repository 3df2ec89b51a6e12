#include "app/CommandLine.h"

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;

    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count as escapes only right before a quote: double them there.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, L'\\');  // they precede the closing quote
    quoted += L'"';
    return quoted;
}

std::wstring BuildCommandLine(const std::wstring& inputPath, const std::wstring& destPath) {
    return std::wstring(kToolName) + L' ' + QuoteArgument(inputPath) + L' ' + QuoteArgument(destPath);
}

// The tool's command line: byte-exact for ordinary paths, and every path one argument
// to the platform's own parser, whatever it holds.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

std::vector<std::wstring> ParseLikeTheTool(const std::wstring& commandLine) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> result;
    if (!args) return result;
    for (int i = 0; i < count; ++i) result.emplace_back(args[i]);
    LocalFree(args);
    return result;
}

void ExpectRoundTrip(const std::wstring& input, const std::wstring& dest, int line) {
    SCOPED_TRACE(testing::Message() << "from line " << line);
    const std::wstring commandLine = BuildCommandLine(input, dest);
    const std::vector<std::wstring> expected = {L"kx.exe", input, dest};
    EXPECT_EQ(expected, ParseLikeTheTool(commandLine)) << "command line: " << commandLine;
}

TEST(CommandLine, OrdinaryPathsAreJoinedByOneSpaceWithoutQuotes) {
    EXPECT_EQ(L"kx.exe C:\\img\\game.bin C:\\out\\new.bin",
              BuildCommandLine(L"C:\\img\\game.bin", L"C:\\out\\new.bin"));
    // Backslashes that precede no quote mean themselves: left alone.
    EXPECT_EQ(L"kx.exe \\\\server\\share\\a.bin C:\\x\\\\",
              BuildCommandLine(L"\\\\server\\share\\a.bin", L"C:\\x\\\\"));
}

TEST(CommandLine, QuotesOnlyWhatTheArgvRulesWouldSplitOrEat) {
    struct Case {
        std::wstring argument, quoted;
    };
    const Case cases[] = {
        {L"", LR"("")"},
        {L" ", LR"(" ")"},
        {L"C:\\My Images\\a.bin", LR"("C:\My Images\a.bin")"},
        {L"a\tb", L"\"a\tb\""},
        {L"C:\\out dir\\", LR"("C:\out dir\\")"},  // the closing quote is not escaped
        {LR"(say "hi")", LR"("say \"hi\"")"},
        {LR"(a\"b)", LR"("a\\\"b")"},     // backslash before a quote doubled
        {LR"(a\\ b\)", LR"("a\\ b\\")"},  // a run not before a quote kept
    };
    for (const Case& c : cases) EXPECT_EQ(c.quoted, QuoteArgument(c.argument)) << "argument: " << c.argument;
}

TEST(CommandLine, EveryGeneratedPairRoundTripsThroughCommandLineToArgvW) {
    ExpectRoundTrip(L"C:\\My Images\\a.bin", L" ", __LINE__);
    ExpectRoundTrip(L"", L"", __LINE__);
    ExpectRoundTrip(L"\\\\\\", L"\"", __LINE__);
    ExpectRoundTrip(L"a.bin out.bin --delete", L"C:\\out dir\\\\", __LINE__);

    // Pieces that stress the rules: runs of backslashes next to quotes and ends, blanks,
    // and text beyond ASCII (a surrogate pair included).
    const std::wstring pieces[] = {L"\\", L"\\\\", L"\\\\\\", L"\"",         L"\\\"",   L" ",
                                   L"\t", L"a",    L"Z",      L"~",          L"%PATH%", L"^&|<>",
                                   L"é",  L"Ω",    L"漢字",   L"\U0001F600", L"C:"};
    std::mt19937 random(20261207);  // fixed: a failure must be reproducible
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1), length(0, 8);
    std::uniform_int_distribution<int> printable(0x20, 0x7E);
    auto generate = [&] {
        std::wstring s;
        for (size_t n = length(random); n > 0; --n)
            s += (n % 3 == 0) ? std::wstring(1, static_cast<wchar_t>(printable(random)))
                              : pieces[pick(random)];
        return s;
    };
    for (int i = 0; i < 3000; ++i) ExpectRoundTrip(generate(), generate(), __LINE__);
}

}  // namespace

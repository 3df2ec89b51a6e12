#include "paths/Procedures.h"

#include <gtest/gtest.h>

#include <string>

TEST(StripFileName, KeepsEverythingUpToTheLastBackslash) {
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"C:\\game.bin", L"C:\\"},
        {L"C:\\img\\game.bin", L"C:\\img\\"},
        {L"C:\\img\\", L"C:\\img\\"},
        {L"game.bin", L"game.bin"},
        {L"C:/img/game.bin", L"C:/img/game.bin"},
        {L"", L""},
        {L"\\\\server\\share\\dir\\f.bin", L"\\\\server\\share\\dir\\"},
        {L"C:\\img\\\\game.bin", L"C:\\img\\\\"},
        {L"\\", L"\\"},
    };
    for (const Case& c : cases) {
        std::wstring path = c.path;
        StripFileName(path);
        EXPECT_EQ(path, c.expected) << "from " << ::testing::PrintToString(std::wstring(c.path));
    }
}

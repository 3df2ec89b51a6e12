// What the browse actions hand to the platform's file dialogs.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/FileChoice.h"

namespace {

TEST(FileChoice, TheBinFilterBecomesOneNulSeparatedEntry) {
    const std::wstring filter = PlatformFilter(kBinFilter);
    // The dialog reads pairs up to an empty string: the list ends with two NULs.
    const wchar_t expected[] = L"BIN File (*.bin)\0*.bin\0";
    EXPECT_EQ(std::wstring(expected, std::size(expected) - 1), filter);
    EXPECT_EQ(L'\0', filter.c_str()[filter.size()]);
    EXPECT_EQ(std::wstring(L"a\0b\0c\0d\0", 8), PlatformFilter(L"a|b|c|d"));
}

TEST(FileChoice, AStartingFolderIsPassedAsStoredUnlessEmptyOrTooLong) {
    const std::wstring folder = L"C:\\img\\";
    EXPECT_EQ(folder.c_str(), DialogStartFolder(folder));
    EXPECT_EQ(nullptr, DialogStartFolder(L""));

    // The classic dialogs take fewer than MAX_PATH characters; Wine's crashes on more.
    const std::wstring longest = L"C:\\" + std::wstring(MAX_PATH - 5, L'd') + L"\\";
    ASSERT_EQ(static_cast<size_t>(MAX_PATH - 1), longest.size());
    EXPECT_EQ(longest.c_str(), DialogStartFolder(longest));
    const std::wstring tooLong = longest + L"x";
    EXPECT_EQ(nullptr, DialogStartFolder(tooLong));
    EXPECT_EQ(nullptr, DialogStartFolder(std::wstring(1 << 20, L'x')));
}

}  // namespace

#include "settings/RegistreWin.h"

#include "SystemHandles.h"
#include "common/Unique.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t kTestParent[] = L"Software\\QuorvaneTest";
constexpr int32_t kCurrentUser = 1;

// A key made for one test group and removed with everything under it. The shared
// parent goes too once no other group still has keys in it.
class ScratchKey {
public:
    ScratchKey(HKEY root, const std::wstring& parent, const std::wstring& name)
        : root_(root), parent_(parent), path_(parent + L"\\" + name) {
        RegDeleteTreeW(root_, path_.c_str());  // left over from an interrupted run
        status_ = RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(),
                                  nullptr);
    }
    ~ScratchKey() {
        key_.reset();
        RegDeleteTreeW(root_, path_.c_str());
        RegDeleteKeyW(root_, parent_.c_str());
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY key() const { return key_.get(); }
    const std::wstring& path() const { return path_; }
    LSTATUS status() const { return status_; }

private:
    HKEY root_;
    std::wstring parent_;
    std::wstring path_;
    UniqueHKey key_;
    LSTATUS status_;
};

std::wstring CurrentGroupName() {
    const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
    return std::wstring(name, name + std::strlen(name));
}

// Each group works under HKCU\Software\QuorvaneTest\<its name>.
class ScratchGroup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch_.key()) << "cannot create the scratch key"; }
    const std::wstring& Path() const { return scratch_.path(); }
    HKEY Key() const { return scratch_.key(); }

    ScratchKey scratch_{HKEY_CURRENT_USER, kTestParent, CurrentGroupName()};
};

struct AnsiValue {
    LSTATUS status = ERROR_SUCCESS;
    DWORD type = REG_NONE;
    std::string bytes;
};

AnsiValue QueryAnsi(HKEY key, const char* name) {
    AnsiValue value;
    DWORD size = 0;
    value.status = RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
    if (value.status != ERROR_SUCCESS) return value;
    value.bytes.resize(size + 1);
    value.status =
        RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(&value.bytes[0]), &size);
    value.bytes.resize(size);
    return value;
}

struct WideSize {
    LSTATUS status = ERROR_SUCCESS;
    DWORD type = REG_NONE;
    DWORD bytes = 0;
};

// The stored size, which for text tells whether its NUL was counted (the ANSI query adds
// a NUL of its own when the stored text lacks one).
WideSize QueryWideSize(HKEY key, const wchar_t* name) {
    WideSize size;
    size.status = RegQueryValueExW(key, name, nullptr, &size.type, nullptr, &size.bytes);
    return size;
}

std::wstring QueryWideRaw(HKEY root, const std::wstring& path, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<unreadable>";
    return text;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    UniqueHKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::vector<BYTE> BytesOf(const void* data, size_t size) {
    const auto* begin = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(begin, begin + size);
}

}  // namespace

class RegistreWinStore : public ScratchGroup {};

TEST_F(RegistreWinStore, StoresRegSzCountingTheNulAndReadsItBack) {
    SaveRegString(kCurrentUser, Path(), L"Folder", L"C:\\img\\");
    EXPECT_EQ(GetRegString(kCurrentUser, Path(), L"Folder"), L"C:\\img\\");

    const AnsiValue stored = QueryAnsi(Key(), "Folder");
    ASSERT_EQ(stored.status, ERROR_SUCCESS);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.bytes, std::string("C:\\img\\", 8));
    EXPECT_EQ(QueryWideSize(Key(), L"Folder").bytes, 8 * sizeof(wchar_t));
}

TEST_F(RegistreWinStore, StoresTheEmptyStringAsOneNul) {
    SaveRegString(kCurrentUser, Path(), L"Empty", L"");

    EXPECT_EQ(QueryAnsi(Key(), "Empty").bytes, std::string(1, '\0'));
    const WideSize stored = QueryWideSize(Key(), L"Empty");
    ASSERT_EQ(stored.status, ERROR_SUCCESS);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.bytes, sizeof(wchar_t));
    EXPECT_EQ(GetRegString(kCurrentUser, Path(), L"Empty"), L"");
}

TEST_F(RegistreWinStore, ReadingAMissingKeyCreatesItAndGivesEmpty) {
    const std::wstring missing = Path() + L"\\Missing";
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, missing));

    EXPECT_EQ(GetRegString(kCurrentUser, missing, L"Anything"), L"");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, missing));
}

TEST_F(RegistreWinStore, UnknownCodeReadsEmptyAndWritesNowhere) {
    const std::wstring path = Path() + L"\\Nowhere";
    const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS};
    for (const int32_t code : {-1, 5, 7}) {
        SCOPED_TRACE(code);
        SaveRegString(code, path, L"Value", L"text");
        EXPECT_EQ(GetRegString(code, path, L"Value"), L"");
        for (const HKEY root : roots) EXPECT_FALSE(KeyExists(root, path));
    }
}

TEST(RegistreWinRoots, EachCodeReachesItsRoot) {
    struct Row {
        int32_t code;
        HKEY root;
        const char* name;
        const wchar_t* parent;
    };
    const Row rows[] = {
        {0, HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", kTestParent},
        {1, HKEY_CURRENT_USER, "HKEY_CURRENT_USER", kTestParent},
        {2, HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", L"QuorvaneTest"},
        {3, HKEY_USERS, "HKEY_USERS", L".DEFAULT\\Software\\QuorvaneTest"},
    };
    std::string refused;  // roots a standard user on Windows may not write to
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchKey scratch(row.root, row.parent, L"RegistreWinRoots");
        if (scratch.status() == ERROR_ACCESS_DENIED) {
            refused += std::string(refused.empty() ? "" : ", ") + row.name;
            continue;
        }
        ASSERT_TRUE(scratch.key()) << "error " << scratch.status();
        const std::wstring text = L"root " + std::to_wstring(row.code);

        SaveRegString(row.code, scratch.path(), L"Value", text);
        EXPECT_EQ(QueryWideRaw(row.root, scratch.path(), L"Value"), text);
    }
    if (!refused.empty()) GTEST_SKIP() << "writing was refused (access denied) under " << refused;
}

class RegistreWinText : public ScratchGroup {};

// The settings may be shared with ANSI code, so text its code page can hold must read
// the same either way.
TEST_F(RegistreWinText, AnsiTextReadsTheSameThroughBothApis) {
    const std::wstring text = L"C:\\Données\\été\\";
    BOOL lossy = FALSE;
    char ansi[64] = {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy);
    ASSERT_GT(length, 0);
    if (lossy) GTEST_SKIP() << "ANSI code page " << GetACP() << " cannot hold the accented text";

    SaveRegString(kCurrentUser, Path(), L"Wide", text);
    const AnsiValue stored = QueryAnsi(Key(), "Wide");
    ASSERT_EQ(stored.status, ERROR_SUCCESS);
    EXPECT_EQ(stored.bytes, std::string(ansi, static_cast<size_t>(length)));

    ASSERT_EQ(RegSetValueExA(Key(), "Ansi", 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi),
                             static_cast<DWORD>(length)),
              ERROR_SUCCESS);
    EXPECT_EQ(GetRegString(kCurrentUser, Path(), L"Ansi"), text);
}

TEST_F(RegistreWinText, NonAnsiTextRoundTrips) {
    const std::wstring text = L"C:\\Ελληνικά\\漢字\\";
    SaveRegString(kCurrentUser, Path(), L"Unicode", text);
    EXPECT_EQ(GetRegString(kCurrentUser, Path(), L"Unicode"), text);
}

class RegistreWinHostile : public ScratchGroup {};

// Values other programs (or a hand edit) may leave behind.
TEST_F(RegistreWinHostile, OnlyTextReadsAsTextUpToItsFirstNul) {
    const DWORD textLikeDword = 0x00410041;  // "AA" if its bytes were taken for text
    struct Row {
        const char* what;
        DWORD type;
        std::vector<BYTE> data;
        std::wstring expected;
    };
    const Row rows[] = {
        {"dword", REG_DWORD, BytesOf(&textLikeDword, sizeof textLikeDword), L""},
        {"binary", REG_BINARY, BytesOf(L"abc", sizeof L"abc"), L""},
        {"multi-string", REG_MULTI_SZ, BytesOf(L"a\0b", sizeof L"a\0b"), L""},
        {"expandable, kept unexpanded", REG_EXPAND_SZ,
         BytesOf(L"%SystemRoot%\\x\\", sizeof L"%SystemRoot%\\x\\"), L"%SystemRoot%\\x\\"},
        {"no terminating NUL", REG_SZ, BytesOf(L"C:\\img", 6 * sizeof(wchar_t)), L"C:\\img"},
        {"embedded NUL", REG_SZ, BytesOf(L"abc\0def", sizeof L"abc\0def"), L"abc"},
        {"odd byte count", REG_SZ, BytesOf(L"abcd", 7), L"abc"},
        {"a single byte", REG_SZ, BytesOf(L"a", 1), L""},
        {"no data at all", REG_SZ, {}, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(RegSetValueExW(Key(), L"Value", 0, row.type, row.data.data(),
                                 static_cast<DWORD>(row.data.size())),
                  ERROR_SUCCESS);
        EXPECT_EQ(GetRegString(kCurrentUser, Path(), L"Value"), row.expected);
    }
}

TEST_F(RegistreWinHostile, ReadsAMebibyteOfTextWhole) {
    std::wstring text(1 << 20, L'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<wchar_t>(L'a' + i % 26);
    ASSERT_EQ(RegSetValueExW(Key(), L"Big", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    const std::wstring read = GetRegString(kCurrentUser, Path(), L"Big");
    EXPECT_EQ(read.size(), text.size());
    EXPECT_TRUE(read == text);  // not EXPECT_EQ: a failure would print a million characters
}

// Nothing can pause a read between its size query and its data query, so a writer races
// it instead. Here about one read in ten lands in that gap and has to query again; that
// is likely, not certain, on any one run.
TEST_F(RegistreWinHostile, ReadsAValueResizedMeanwhileWhole) {
    const std::wstring shortText = L"short";
    const std::wstring longText(4096, L'L');
    SaveRegString(kCurrentUser, Path(), L"Racing", shortText);

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (bool grow = true; !stop; grow = !grow)
            SaveRegString(kCurrentUser, Path(), L"Racing", grow ? longText : shortText);
    });
    int torn = 0;
    for (int i = 0; i < 2000; ++i) {
        const std::wstring read = GetRegString(kCurrentUser, Path(), L"Racing");
        if (read != shortText && read != longText) ++torn;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(torn, 0) << "reads that were neither the short nor the long text";
}

class RegistreWinHandles : public ScratchGroup {};

// Each call opens its key and must close it; the counter is shown to see a held one.
TEST_F(RegistreWinHandles, EveryCallClosesItsKey) {
    const std::wstring store = Path() + L"\\Store";
    const std::wstring suffix = L"\\" + store;
    const DWORD number = 7;
    SaveRegString(kCurrentUser, store, L"Value", L"0");
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, store.c_str(), L"Number", REG_DWORD, &number, sizeof number),
              ERROR_SUCCESS);
    // The early returns too: a missing value and one that is not text.
    EXPECT_EQ(GetRegString(kCurrentUser, store, L"Missing"), L"");
    EXPECT_EQ(GetRegString(kCurrentUser, store, L"Number"), L"");
    EXPECT_EQ(GetRegString(kCurrentUser, store, L"Value"), L"0");
    ASSERT_EQ(CountOpenKeyHandles(suffix), 0);

    for (int i = 1; i < 10000; ++i) {
        const std::wstring text = std::to_wstring(i);
        SaveRegString(kCurrentUser, store, L"Value", text);
        ASSERT_EQ(GetRegString(kCurrentUser, store, L"Value"), text);
    }
    EXPECT_EQ(CountOpenKeyHandles(suffix), 0);

    UniqueHKey held;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, store.c_str(), 0, KEY_READ, held.put()), ERROR_SUCCESS);
    const std::wstring name = KernelKeyName(held.get());
    EXPECT_EQ(CountOpenKeyHandles(suffix), 1) << "the held key is named " << ::testing::PrintToString(name);
}

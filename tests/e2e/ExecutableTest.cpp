// The executable as it ships: one self-contained 32-bit GUI program with its picture,
// its icon and its French version block, and no manifest.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>

#include "TestBed.h"

namespace e2e {
namespace {

std::wstring ExePath() { return ProgramPath(); }

std::vector<unsigned char> ReadWholeFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The program's resources, read without running it.
class Resources {
public:
    Resources() : module_(LoadLibraryExW(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    HMODULE get() const { return module_.get(); }
    std::vector<unsigned char> Bytes(LPCWSTR type, LPCWSTR name) const {
        HRSRC info = FindResourceW(module_.get(), name, type);
        if (!info) return {};
        const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module_.get(), info)));
        return {data, data + SizeofResource(module_.get(), info)};
    }

private:
    UniqueModule module_;
};

BOOL CALLBACK CountResource(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

std::wstring VersionString(const std::vector<BYTE>& block, const std::wstring& name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\040C04B0\\" + name;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return L"<missing>";
    return value;
}

TEST(Executable, CarriesTheFrenchVersionBlock) {
    const std::wstring exe = ExePath();
    std::vector<BYTE> block(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x040C, translation[0]);  // French (France)
    EXPECT_EQ(1200, translation[1]);    // Unicode

    EXPECT_EQ(L"1.00", VersionString(block, L"FileVersion"));
    EXPECT_EQ(L"1.00", VersionString(block, L"ProductVersion"));
    EXPECT_EQ(L"Quorvane", VersionString(block, L"ProductName"));
    EXPECT_EQ(L"Quorvane", VersionString(block, L"InternalName"));
    EXPECT_EQ(L"Quorvane.exe", VersionString(block, L"OriginalFilename"));

    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
}

TEST(Executable, CarriesOneIconOf32PixelsIn256ColoursAndABaselineJpegButNoManifest) {
    const Resources resources;
    ASSERT_TRUE(resources.get());

    // Group icon directory: reserved, type, count; then 14-byte entries.
    const auto group = resources.Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_QUORVANE));
    ASSERT_EQ(6u + 14u, group.size());
    EXPECT_EQ(1, group[4] | group[5] << 8);
    EXPECT_EQ(32, group[6]);                   // width
    EXPECT_EQ(32, group[7]);                   // height
    EXPECT_EQ(8, group[12] | group[13] << 8);  // bits per pixel

    // A baseline frame (SOF0) of 300 x 300 pixels, 8-bit precision, three components.
    const auto jpeg = resources.Bytes(RT_RCDATA, MAKEINTRESOURCEW(IDR_BACKGROUND));
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(0xFF, jpeg[0]);
    EXPECT_EQ(0xD8, jpeg[1]);
    const unsigned char sof0[] = {0xFF, 0xC0};
    auto frame = std::search(jpeg.begin(), jpeg.end(), std::begin(sof0), std::end(sof0));
    ASSERT_LT(frame + 10, jpeg.end()) << "no baseline frame";
    EXPECT_EQ(8, frame[4]);
    EXPECT_EQ(300, frame[5] << 8 | frame[6]);
    EXPECT_EQ(300, frame[7] << 8 | frame[8]);
    EXPECT_EQ(3, frame[9]);
    const unsigned char progressive[] = {0xFF, 0xC2};
    EXPECT_EQ(jpeg.end(),
              std::search(jpeg.begin(), jpeg.end(), std::begin(progressive), std::end(progressive)));

    int manifests = 0;
    EnumResourceNamesW(resources.get(), RT_MANIFEST, CountResource, reinterpret_cast<LONG_PTR>(&manifests));
    EXPECT_EQ(0, manifests);
}

TEST(Executable, IsA32BitGuiProgramNeedingOnlyWindowsOwnLibraries) {
    const std::vector<unsigned char> image = ReadWholeFile(ExePath());
    ASSERT_GT(image.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    ASSERT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), nt->Signature);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt->OptionalHeader.Subsystem);
    // Made for Vista and later, whichever compiler built it: Windows gives older programs
    // other frame metrics.
    const auto& header = nt->OptionalHeader;
    EXPECT_EQ(0x60000, header.MajorSubsystemVersion << 16 | header.MinorSubsystemVersion);
    EXPECT_EQ(0x60000, header.MajorOperatingSystemVersion << 16 | header.MinorOperatingSystemVersion);
    EXPECT_LE(image.size(), 40u * 1024u);  // the size budget

    // Import directory: turn each RVA into a file offset through the section table.
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto offsetOf = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
            if (rva >= sections[i].VirtualAddress &&
                rva < sections[i].VirtualAddress + sections[i].Misc.VirtualSize)
                return rva - sections[i].VirtualAddress + sections[i].PointerToRawData;
        return 0;
    };
    const DWORD importRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    std::set<std::string> imported;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + offsetOf(importRva));
         entry->Name; ++entry) {
        std::string name(reinterpret_cast<const char*>(image.data() + offsetOf(entry->Name)));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        imported.insert(name);
    }
    // Windows' own; the file dialogs and the picture decoder are loaded when first needed.
    const std::set<std::string> windows = {"advapi32.dll", "gdi32.dll", "kernel32.dll",
                                           "msvcrt.dll",   "ole32.dll", "user32.dll"};
    EXPECT_TRUE(std::includes(windows.begin(), windows.end(), imported.begin(), imported.end()))
        << "imports: " << testing::PrintToString(imported);
    EXPECT_TRUE(imported.count("kernel32.dll") && imported.count("user32.dll"));
}

}  // namespace
}  // namespace e2e

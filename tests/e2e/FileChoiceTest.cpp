// The browse buttons: the platform's Open and Save As dialogs, the chosen file in its
// field, and the folder of each kind of choice remembered for the next run.
#include <tuple>

#include "TestBed.h"

namespace e2e {
namespace {

constexpr int kFileNameBox = 0x47C;  // cmb13: Wine's file-name combo box
constexpr int kFileTypeBox = 0x470;  // cmb1: the file-type list
constexpr int kLookInBox = 0x471;    // cmb2: the folder the dialog is in

// Tells Wine to prefer, for Quorvane.exe, a library of each name found by the library
// search over its own (as Windows does for all but its known system libraries), while alive.
class PreferFoundLibraries {
public:
    explicit PreferFoundLibraries(std::initializer_list<const wchar_t*> names) {
        UniqueHKey key;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, kAppOverrides, key.put()));
        const wchar_t order[] = L"native,builtin";
        for (const wchar_t* name : names)
            RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
    }
    ~PreferFoundLibraries() { RegDeleteKeyW(HKEY_CURRENT_USER, kAppOverrides); }
    PreferFoundLibraries(const PreferFoundLibraries&) = delete;
    PreferFoundLibraries& operator=(const PreferFoundLibraries&) = delete;

private:
    static constexpr wchar_t kAppOverrides[] = L"Software\\Wine\\AppDefaults\\Quorvane.exe\\DllOverrides";
};

HWND OpenDialog(App& app, int button, const wchar_t* caption) {
    app.Click(button);
    HWND dialog = app.WaitForDialog(caption);
    EXPECT_TRUE(dialog) << "no dialog captioned " << testing::internal::String::ShowWideCString(caption);
    return dialog;
}

// Types a name into the dialog and presses its OK button, as a user would.
void TypeAndOk(HWND dialog, const std::wstring& name) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, kFileNameBox), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(name.c_str()), SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// Chooses the file name: the dialog closes.
void Choose(App& app, HWND dialog, const std::wstring& name) {
    ASSERT_TRUE(dialog);
    TypeAndOk(dialog, name);
    ASSERT_TRUE(WaitUntil(kTimeoutMs, [&] { return !IsWindow(dialog); }))
        << "the dialog refused " << testing::internal::String::ShowWideCString(name.c_str());
    app.Settle();
}

// Goes into a folder inside the dialog, as a user does: the folder typed, then OK.
void GoInto(HWND dialog, const std::wstring& parent, const std::wstring& name) {
    ASSERT_TRUE(dialog);
    TypeAndOk(dialog, parent + name);
    ASSERT_TRUE(WaitUntil(kTimeoutMs, [&] { return WindowTextOf(GetDlgItem(dialog, kLookInBox)) == name; }))
        << "the dialog did not go into " << testing::internal::String::ShowWideCString(name.c_str());
}

void Cancel(App& app, HWND dialog) {
    ASSERT_TRUE(dialog);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil(kTimeoutMs, [&] { return !IsWindow(dialog); }));
    app.Settle();
}

class FileChoice : public AppTest {};
class FileChoiceWithoutTool : public AppTest {
protected:
    FileChoiceWithoutTool() { withTool = false; }
};

void ExpectFolderSetting(const wchar_t* name, const std::wstring& folder, int line) {
    SCOPED_TRACE(testing::Message() << "called from line " << line);
    const RegValue value = ReadSetting(name);
    EXPECT_TRUE(value.present) << "no value " << testing::internal::String::ShowWideCString(name);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type);
    EXPECT_EQ(folder, value.text);
}

TEST_F(FileChoice, EachButtonOpensItsDialogFilteredToBinFilesAndCancelChangesNothing) {
    // The captions are the program's own; the kind of dialog shows in what its OK button says.
    for (auto [button, caption, ok] :
         {std::tuple{IDC_COMMAND1, L"Open", L"&Open"}, std::tuple{IDC_COMMAND2, L"Save As", L"&Save"}}) {
        SCOPED_TRACE(testing::Message() << "dialog " << testing::internal::String::ShowWideCString(caption));
        // Each the first dialog of its run: the one dialog both buttons share would otherwise
        // show a filter that only the other button gave it.
        App app(scratch.path());
        ASSERT_TRUE(app.window());
        app.SetText(IDC_BINFILE, L"C:\\typed\\in.bin");
        app.SetText(IDC_DEST, L"C:\\typed\\out.bin");
        HWND dialog = OpenDialog(app, button, caption);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(ok, WindowTextOf(GetDlgItem(dialog, IDOK)));
        EXPECT_EQ(app.window(), GetWindow(dialog, GW_OWNER));
        EXPECT_EQ(L"BIN File (*.bin)", WindowTextOf(GetDlgItem(dialog, kFileTypeBox)));
        Cancel(app, dialog);
        EXPECT_EQ(L"C:\\typed\\in.bin", app.Text(IDC_BINFILE));
        EXPECT_EQ(L"C:\\typed\\out.bin", app.Text(IDC_DEST));
    }
    // Neither cancelling nor typing stores anything.
    EXPECT_FALSE(ReadSetting(L"FolderOpen").present);
    EXPECT_FALSE(ReadSetting(L"FolderRec").present);
}

TEST_F(FileChoice, AChosenFileFillsItsFieldAndRemembersOnlyItsOwnFolder) {
    // First run: no settings key at all.
    const std::wstring input = scratch.MakeDir(L"x\\y") + L"image.bin";
    TouchFile(input);
    const std::wstring output = scratch.MakeDir(L"out") + L"new.bin";
    App app(scratch.path());
    ASSERT_TRUE(app.window());

    ASSERT_NO_FATAL_FAILURE(Choose(app, OpenDialog(app, IDC_COMMAND1, L"Open"), input));
    EXPECT_EQ(input, app.Text(IDC_BINFILE));
    ExpectFolderSetting(L"FolderOpen", scratch.path() + L"x\\y\\", __LINE__);
    EXPECT_FALSE(ReadSetting(L"FolderRec").present);

    ASSERT_NO_FATAL_FAILURE(Choose(app, OpenDialog(app, IDC_COMMAND2, L"Save As"), output));
    EXPECT_EQ(output, app.Text(IDC_DEST));
    ExpectFolderSetting(L"FolderRec", scratch.path() + L"out\\", __LINE__);
    ExpectFolderSetting(L"FolderOpen", scratch.path() + L"x\\y\\", __LINE__);
    EXPECT_EQ(input, app.Text(IDC_BINFILE));
}

TEST_F(FileChoice, TheSaveAsDialogStartsWithTheNameLastChosen) {
    const std::wstring input = scratch.MakeDir(L"img") + L"game.bin";
    TouchFile(input);
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    ASSERT_NO_FATAL_FAILURE(Choose(app, OpenDialog(app, IDC_COMMAND1, L"Open"), input));
    HWND dialog = OpenDialog(app, IDC_COMMAND2, L"Save As");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(L"game.bin", WindowTextOf(GetDlgItem(dialog, kFileNameBox)));
    // The dialog opens in that name's folder: a bare name typed there lands beside it.
    ASSERT_NO_FATAL_FAILURE(Choose(app, dialog, L"copy.bin"));
    EXPECT_EQ(scratch.path() + L"img\\copy.bin", app.Text(IDC_DEST));
}

TEST_F(FileChoice, TheNextRunStartsEachDialogInTheFolderChosenBefore) {
    const std::wstring inFolder = scratch.MakeDir(L"in"), outFolder = scratch.MakeDir(L"out");
    TouchFile(inFolder + L"first.bin");
    {
        App app(scratch.path());
        ASSERT_TRUE(app.window());
        ASSERT_NO_FATAL_FAILURE(Choose(app, OpenDialog(app, IDC_COMMAND1, L"Open"), inFolder + L"first.bin"));
        ASSERT_NO_FATAL_FAILURE(
            Choose(app, OpenDialog(app, IDC_COMMAND2, L"Save As"), outFolder + L"first.bin"));
    }
    // A bare name resolves against the folder the dialog opened in.
    for (auto [button, caption, field, folder] :
         {std::tuple{IDC_COMMAND1, L"Open", IDC_BINFILE, inFolder},
          std::tuple{IDC_COMMAND2, L"Save As", IDC_DEST, outFolder}}) {
        SCOPED_TRACE(testing::Message() << "dialog " << testing::internal::String::ShowWideCString(caption));
        App app(scratch.path());
        ASSERT_TRUE(app.window());
        ASSERT_NO_FATAL_FAILURE(Choose(app, OpenDialog(app, button, caption), L"next.bin"));
        EXPECT_EQ(folder + L"next.bin", app.Text(field));
    }
}

TEST_F(FileChoiceWithoutTool, AToolBesideAFileBrowsedToNeverRunsInsteadOfTheOneOnThePath) {
    const std::wstring tool = scratch.MakeDir(L"tool"), downloads = scratch.MakeDir(L"downloads");
    scratch.CopyIn(L"kx.exe", L"tool\\kx.exe");
    scratch.CopyIn(L"kx.exe", L"downloads\\kx.exe");
    TouchFile(downloads + L"game.bin");
    wchar_t path[32767];
    const std::wstring oldPath(path, GetEnvironmentVariableW(L"PATH", path, 32767));
    SetEnvironmentVariableW(L"PATH", (tool + L";" + oldPath).c_str());
    App app(scratch.path());
    SetEnvironmentVariableW(L"PATH", oldPath.c_str());
    ASSERT_TRUE(app.window());

    HWND dialog = OpenDialog(app, IDC_COMMAND1, L"Open");
    ASSERT_NO_FATAL_FAILURE(GoInto(dialog, scratch.path(), L"downloads"));
    ASSERT_NO_FATAL_FAILURE(Choose(app, dialog, L"game.bin"));
    EXPECT_EQ(downloads + L"game.bin", app.Text(IDC_BINFILE));
    app.SetText(IDC_DEST, scratch.path() + L"new.bin");
    app.Click(IDC_COMMAND3);
    EXPECT_TRUE(app.WaitForExit());
    Record record;
    EXPECT_TRUE(WaitForRecord(tool, record)) << "the tool on the path did not run";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((downloads + L"kx-record.txt").c_str()))
        << "the kx.exe beside game.bin ran";
}

// The dialogs' stand-in, put where the program looks for the dialogs' library: the system
// folder (this prefix's own), and preferred there over Wine's own for the program alone.
class DialogDouble {
public:
    explicit DialogDouble(ScratchFolder& scratch) : folder_(scratch.path()) {
        wchar_t system[MAX_PATH];
        installed_ = std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)) + L"\\comdlg32.dll";
        saved_ = scratch.path() + L"comdlg32.saved";
        EXPECT_TRUE(CopyFileW(installed_.c_str(), saved_.c_str(), FALSE));
        EXPECT_TRUE(
            CopyFileW((BuildFolder() + L"library-double\\comdlg32.dll").c_str(), installed_.c_str(), FALSE));
    }
    ~DialogDouble() { CopyFileW(saved_.c_str(), installed_.c_str(), FALSE); }

    // The next dialogs return this name; an empty one makes them cancel.
    void Answer(const std::wstring& name) {
        const std::wstring path = folder_ + L"dialog-answer.txt";
        DeleteFileW(path.c_str());
        if (!name.empty()) WriteTextFile(path, name);
    }

    // Clicks a browse button and returns what that dialog was handed.
    Record Browse(App& app, int button) {
        const size_t before = Calls().size();
        app.Click(button);
        EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] { return Calls().size() > before; }));
        app.Settle();  // the dialog has returned and its record is whole
        const std::vector<Record> calls = Calls();
        return calls.size() > before ? calls.back() : Record{};
    }

private:
    std::vector<Record> Calls() const {
        std::vector<Record> calls;
        for (auto& [name, value] : ReadRecordLines(folder_ + L"dialog-record.txt")) {
            if (name == L"call") calls.emplace_back();
            if (!calls.empty()) calls.back().emplace(name, value);
        }
        return calls;
    }
    std::wstring folder_, installed_, saved_;
    PreferFoundLibraries preference_{L"comdlg32"};
};

void ExpectHanded(const Record& call, const std::wstring& title, const std::wstring& initDir,
                  const std::wstring& file, HWND owner, int line) {
    SCOPED_TRACE(testing::Message() << "dialog checked at line " << line);
    EXPECT_EQ(title, RecordOne(call, L"title"));
    EXPECT_EQ(initDir, RecordOne(call, L"initdir"));
    EXPECT_EQ(file, RecordOne(call, L"file"));
    EXPECT_EQ(std::to_wstring(reinterpret_cast<UINT_PTR>(owner)), RecordOne(call, L"owner"));
    EXPECT_EQ(L"BIN File (*.bin)|*.bin", RecordOne(call, L"filter"));
    // No options of the program's own: the dialogs' defaults rule, and any path fits.
    EXPECT_EQ(L"0", RecordOne(call, L"flags"));
    EXPECT_EQ(L"<null>", RecordOne(call, L"defext"));
    EXPECT_EQ(L"32768", RecordOne(call, L"maxfile"));
}

TEST_F(FileChoice, EveryDialogOfARunIsHandedTheFoldersLoadedAtStartAndTheLastName) {
    DialogDouble dialogs(scratch);
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'r') + L"\\";
    WriteSetting(L"FolderOpen", L"C:\\loaded\\");
    WriteSetting(L"FolderRec", tooLong);
    App app(scratch.path());
    ASSERT_TRUE(app.window());

    dialogs.Answer(L"C:\\chosen\\second.bin");
    ExpectHanded(dialogs.Browse(app, IDC_COMMAND1), L"Open", L"C:\\loaded\\", L"", app.window(), __LINE__);
    EXPECT_EQ(L"C:\\chosen\\second.bin", app.Text(IDC_BINFILE));
    ExpectFolderSetting(L"FolderOpen", L"C:\\chosen\\", __LINE__);

    // The newly stored folder waits for the next run; the chosen name is shared.
    dialogs.Answer(L"");
    ExpectHanded(dialogs.Browse(app, IDC_COMMAND1), L"Open", L"C:\\loaded\\", L"C:\\chosen\\second.bin",
                 app.window(), __LINE__);
    ExpectHanded(dialogs.Browse(app, IDC_COMMAND2), L"Save As", L"<null>", L"C:\\chosen\\second.bin",
                 app.window(), __LINE__);
    EXPECT_EQ(L"", app.Text(IDC_DEST));
    EXPECT_EQ(tooLong, ReadSetting(L"FolderRec").text);
}

TEST_F(FileChoice, LookAlikeLibrariesBesideTheProgramAreNeverLoaded) {
    // A downloads folder may hold files named like the libraries the program loads itself.
    scratch.CopyIn(L"library-double\\comdlg32.dll", L"comdlg32.dll");
    scratch.CopyIn(L"library-double\\comdlg32.dll", L"windowscodecs.dll");
    const PreferFoundLibraries preference{L"comdlg32", L"windowscodecs"};
    App app(scratch.path());
    ASSERT_TRUE(app.window());

    // The picture shows: the strip above the first label is not the bare back colour.
    app.Settle();
    EXPECT_TRUE(WaitUntil(kTimeoutMs, [&] {
        const Capture shot(ClientRectOnScreen(app.window()));
        int picture = 0;
        for (int x = 0; x < shot.width(); ++x) picture += shot.at(x, 2) != RGB(1, 0, 66);
        return picture > shot.width() * 9 / 10;
    })) << "no picture";
    ASSERT_NO_FATAL_FAILURE(Cancel(app, OpenDialog(app, IDC_COMMAND1, L"Open")));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW((scratch.path() + L"library-double-loaded.txt").c_str()));
}

TEST_F(FileChoice, ARememberedFolderTooLongForTheDialogIsNotHandedToIt) {
    // Wine's dialog crashes its caller on a 5,000-character starting folder.
    for (size_t length : {size_t{MAX_PATH}, size_t{5000}, size_t{1} << 20}) {
        SCOPED_TRACE(testing::Message() << "folder of " << length << " characters");
        const std::wstring huge = L"C:\\" + std::wstring(length - 4, L'h') + L"\\";
        WriteSetting(L"FolderOpen", huge);
        App app(scratch.path());
        ASSERT_TRUE(app.window());
        HWND dialog = OpenDialog(app, IDC_COMMAND1, L"Open");
        ASSERT_NO_FATAL_FAILURE(Cancel(app, dialog));
        EXPECT_TRUE(app.Running());
        EXPECT_EQ(L"", app.Text(IDC_BINFILE));
        EXPECT_EQ(huge, ReadSetting(L"FolderOpen").text);
    }
}

}  // namespace
}  // namespace e2e

// The run button and Enter in the destination field: the tool started with both paths
// exactly as typed, or a message and the window left as it was.
#include "TestBed.h"

namespace e2e {
namespace {

constexpr wchar_t kFieldMissing[] = L"Bin file or destination file are missing\rPlease check";
constexpr wchar_t kLaunchFailed[] = L"An error has occured\rCheck your filenames";

// Share of a window's pixels on the screen that are clearly red, as the stop icon's are.
double RedShareOf(HWND icon) {
    RECT r;
    if (!icon || !GetWindowRect(icon, &r)) return 0;
    const Capture capture(r);
    int red = 0;
    for (int y = 0; y < capture.height(); ++y)
        for (int x = 0; x < capture.width(); ++x) {
            const COLORREF c = capture.at(x, y);
            if (GetRValue(c) > 150 && GetGValue(c) < 100 && GetBValue(c) < 100) ++red;
        }
    const int total = capture.width() * capture.height();
    return total ? static_cast<double>(red) / total : 0;
}

// The program's error box comes up with the text, modal over the main window, with the stop
// icon and OK alone; then it is closed.
void ExpectErrorBoxAndClose(App& app, const wchar_t* text, int line) {
    SCOPED_TRACE(testing::Message() << "called from line " << line);
    HWND box = app.WaitForDialog(L"Error");
    ASSERT_TRUE(box) << "no \"Error\" box appeared";
    EXPECT_EQ(text, WindowTextOf(GetDlgItem(box, 0xFFFF)));
    EXPECT_EQ(app.window(), GetWindow(box, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(app.window()));
    int buttons = 0;
    bool okButton = false;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        if (_wcsicmp(className, L"Button") == 0 && IsWindowVisible(child)) {
            ++buttons;
            okButton = okButton || GetDlgCtrlID(child) == IDOK;
        }
    }
    EXPECT_EQ(1, buttons);
    EXPECT_TRUE(okButton);
    // The box may be found before its icon is painted: look until something red shows.
    double redShare = 0;
    WaitUntil(2000, [&] { return (redShare = RedShareOf(GetDlgItem(box, 0x440))) > 0; });
    EXPECT_GT(redShare, 0.25) << "not the stop icon";
    app.CloseMessageBox(box);
}

// Pastes text through the clipboard over a field's text.
void Paste(const App& app, int id, const std::wstring& text) {
    // The clipboard needs an owner window to take data.
    HWND owner = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    CopyMemory(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    const bool taken = OpenClipboard(owner) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    EXPECT_TRUE(taken) << "the clipboard did not take the text";
    if (!taken) GlobalFree(memory);  // taken, it belongs to the clipboard
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(app.control(id), EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
    SendMessageTimeoutW(app.control(id), WM_PASTE, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
    DestroyWindow(owner);
}

// After a refused run the window is still there, usable, with both fields untouched.
void ExpectStillOpen(App& app, const std::wstring& input, const std::wstring& dest,
                     const std::wstring& folder, int line) {
    SCOPED_TRACE(testing::Message() << "called from line " << line);
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(IsWindowEnabled(app.window()));
    EXPECT_EQ(input, app.Text(IDC_BINFILE));
    EXPECT_EQ(dest, app.Text(IDC_DEST));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"kx-record.txt").c_str()));
}

void RefusesWith(App& app, const std::wstring& folder, const std::wstring& input, const std::wstring& dest,
                 const wchar_t* message, int line) {
    SCOPED_TRACE(testing::Message() << "called from line " << line);
    app.SetText(IDC_BINFILE, input);
    app.SetText(IDC_DEST, dest);
    app.Click(IDC_COMMAND3);
    ExpectErrorBoxAndClose(app, message, line);
    ExpectStillOpen(app, input, dest, folder, line);
}

struct Launched {
    Record record;
    bool exited = false;
};

// Types both paths, presses the run button and collects what the tool double saw.
Launched RunWith(const std::wstring& folder, const std::wstring& input, const std::wstring& dest,
                 bool inheritHandles = false) {
    DeleteFileW((folder + L"kx-record.txt").c_str());
    App app(folder, {inheritHandles});
    Launched result;
    if (!app.window()) return result;
    app.SetText(IDC_BINFILE, input);
    app.SetText(IDC_DEST, dest);
    app.Click(IDC_COMMAND3);
    result.exited = app.WaitForExit();
    EXPECT_TRUE(WaitForRecord(folder, result.record)) << "the tool was not started";
    return result;
}

class RunAction : public AppTest {};
class RunActionWithoutTool : public AppTest {
protected:
    RunActionWithoutTool() { withTool = false; }
};

TEST_F(RunAction, StartsTheToolShownNormallyAndEnds) {
    const Launched run = RunWith(scratch.path(), L"C:\\img\\game.bin", L"C:\\out\\new.bin");
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(L"kx.exe C:\\img\\game.bin C:\\out\\new.bin", RecordOne(run.record, L"cmdline"));
    const std::vector<std::wstring> args = {L"kx.exe", L"C:\\img\\game.bin", L"C:\\out\\new.bin"};
    EXPECT_EQ(args, RecordAll(run.record, L"shellarg"));
    EXPECT_EQ(args, RecordAll(run.record, L"crtarg"));
    EXPECT_EQ(std::to_wstring(STARTF_USESHOWWINDOW), RecordOne(run.record, L"flags"));
    EXPECT_EQ(std::to_wstring(SW_SHOWNORMAL), RecordOne(run.record, L"show"));
    EXPECT_EQ(L"shown", RecordOne(run.record, L"console")) << "the tool's own console window";
}

TEST_F(RunAction, TheToolInheritsNoHandleOfTheProgram) {
    // The program is started holding an open file at a known value; the tool must not see it.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    UniqueHandle held(CreateFileW((scratch.path() + L"held-open.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                  &inheritable, CREATE_ALWAYS, 0, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, held.get());
    SetEnvironmentVariableW(L"KX_PROBE_HANDLE",
                            std::to_wstring(reinterpret_cast<UINT_PTR>(held.get())).c_str());
    const Launched run = RunWith(scratch.path(), L"C:\\img\\game.bin", L"C:\\out\\new.bin", true);
    SetEnvironmentVariableW(L"KX_PROBE_HANDLE", nullptr);
    const std::wstring seen = RecordOne(run.record, L"probe");
    EXPECT_NE(L"<missing>", seen);
    EXPECT_EQ(std::wstring::npos, seen.find(L"held-open.txt"))
        << "the tool sees " << testing::PrintToString(seen);
}

TEST_F(RunAction, EveryPathArrivesAsOneArgumentExactlyAsTyped) {
    struct Case {
        std::wstring input, dest, commandLine;
    };
    // Command lines as raw text: what the tool's own parser is handed.
    const Case cases[] = {
        {L"C:\\My Images\\a.bin", L"C:\\out dir\\", LR"(kx.exe "C:\My Images\a.bin" "C:\out dir\\")"},
        {L"C:\\Ελληνικά\\漢字 1.bin", L" ", LR"(kx.exe "C:\Ελληνικά\漢字 1.bin" " ")"},
        {L"a.bin --force C:\\x", LR"(say "hi"\\".bin)",
         LR"(kx.exe "a.bin --force C:\x" "say \"hi\"\\\\\".bin")"},
        {L"\t", L"C:\\x\\\\y", L"kx.exe \"\t\" C:\\x\\\\y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command line " << c.commandLine);
        const Launched run = RunWith(scratch.path(), c.input, c.dest);
        EXPECT_TRUE(run.exited);
        EXPECT_EQ(c.commandLine, RecordOne(run.record, L"cmdline"));
        const std::vector<std::wstring> args = {L"kx.exe", c.input, c.dest};
        EXPECT_EQ(args, RecordAll(run.record, L"shellarg"));
        EXPECT_EQ(args, RecordAll(run.record, L"crtarg"));
    }
}

TEST_F(RunAction, EnterInTheDestinationFieldRunsAsTheButtonDoes) {
    {
        App app(scratch.path());
        ASSERT_TRUE(app.window());
        // With a field empty, Enter gives the same message as the button, then Ctrl+M too.
        app.SetText(IDC_DEST, L"C:\\out\\new.bin");
        app.PostKey(IDC_DEST, VK_RETURN);
        ExpectErrorBoxAndClose(app, kFieldMissing, __LINE__);
        app.PostChar(IDC_DEST, L'\r');
        ExpectErrorBoxAndClose(app, kFieldMissing, __LINE__);
        ExpectStillOpen(app, L"", L"C:\\out\\new.bin", scratch.path(), __LINE__);

        app.SetText(IDC_BINFILE, L"C:\\img\\game.bin");
        app.PostKey(IDC_DEST, VK_RETURN);
        EXPECT_TRUE(app.WaitForExit());
    }
    Record record;
    ASSERT_TRUE(WaitForRecord(scratch.path(), record));
    EXPECT_EQ(L"kx.exe C:\\img\\game.bin C:\\out\\new.bin", RecordOne(record, L"cmdline"));
}

TEST_F(RunAction, AnEmptyFieldIsRefusedWithAMessage) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    RefusesWith(app, scratch.path(), L"", L"C:\\out\\new.bin", kFieldMissing, __LINE__);
    RefusesWith(app, scratch.path(), L"C:\\img\\game.bin", L"", kFieldMissing, __LINE__);
    RefusesWith(app, scratch.path(), L"", L"", kFieldMissing, __LINE__);
    // The run button keeps the focus its click gave it: Enter presses it again.
    app.PostKey(IDC_COMMAND3, VK_RETURN);
    ExpectErrorBoxAndClose(app, kFieldMissing, __LINE__);
}

TEST_F(RunAction, AFocusedRunButtonIsPressedBySpaceOrEnter) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    for (int i = 0; i < 4; ++i) {  // BinFile -> Command1 -> Dest -> Command2 -> Command3
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(app.window(), nullptr), &info);
        PostMessageW(info.hwndFocus, WM_KEYDOWN, VK_TAB, 0x000F0001);
        app.Settle();
    }
    for (WORD key : {VK_SPACE, VK_RETURN}) {
        SCOPED_TRACE(testing::Message() << "key " << key);
        app.PostKey(IDC_COMMAND3, key);
        ExpectErrorBoxAndClose(app, kFieldMissing, __LINE__);
    }
}

TEST_F(RunActionWithoutTool, NoToolToBeFoundGivesTheLaunchMessage) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    RefusesWith(app, scratch.path(), L"C:\\img\\game.bin", L"C:\\out\\new.bin", kLaunchFailed, __LINE__);
}

TEST_F(RunActionWithoutTool, AFolderNamedLikeTheToolGivesTheLaunchMessage) {
    scratch.MakeDir(L"kx.exe");
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    RefusesWith(app, scratch.path(), L"C:\\img\\game.bin", L"C:\\out\\new.bin", kLaunchFailed, __LINE__);
}

TEST_F(RunAction, ACommandLineTooLongForWindowsIsRefused) {
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    const std::wstring longPath = L"C:\\" + std::wstring(40000, L'a') + L".bin";
    for (int id : {IDC_BINFILE, IDC_DEST}) {  // past the platform's default limit, kept whole
        Paste(app, id, longPath);
        EXPECT_EQ(longPath.size(), app.Text(id).size()) << "pasted into control " << id;
    }
    RefusesWith(app, scratch.path(), longPath, L"C:\\out\\new.bin", kLaunchFailed, __LINE__);
    // The longest line Windows accepts still goes through.
    const std::wstring fits(32766 - std::wstring(L"kx.exe  C:\\o.bin").size(), L'b');
    app.SetText(IDC_BINFILE, fits);
    app.SetText(IDC_DEST, L"C:\\o.bin");
    app.Click(IDC_COMMAND3);
    EXPECT_TRUE(app.WaitForExit());
    Record record;
    ASSERT_TRUE(WaitForRecord(scratch.path(), record));
    EXPECT_EQ(32766u, RecordOne(record, L"cmdline").size());
}

}  // namespace
}  // namespace e2e

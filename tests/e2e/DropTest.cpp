// Files dropped onto the window from the X side, as a Linux file manager drops them: the
// file fills the field whose label, box or browse button it lands on, as if typed there.
#include "TestBed.h"

namespace e2e {
namespace {

// Drops files, at once, at the centre of a control with the XDND source beside this driver;
// returns once the program has handled the drop, which Wine posts before it tells the source.
void DropOnto(App& app, int id, std::initializer_list<std::wstring> files, int line) {
    SCOPED_TRACE(testing::Message() << "called from line " << line);
    RECT r;
    GetWindowRect(app.control(id), &r);
    std::string paths;
    for (const std::wstring& file : files) paths += " '" + UnixPath(file) + "'";
    const std::string answer = RunX("/usr/bin/python3 '" + UnixPath(BuildFolder() + L"xdnd_drop.py") + "' " +
                                    XWindowOf(app.window()) + " " + std::to_string((r.left + r.right) / 2) +
                                    " " + std::to_string((r.top + r.bottom) / 2) + paths + "; echo exit=$?");
    EXPECT_NE(std::string::npos, answer.find("exit=0")) << answer;
    app.Settle();
}

class Drop : public AppTest {};

TEST_F(Drop, AFileDroppedOnAFieldItsLabelOrItsButtonFillsThatFieldAndNothingElse) {
    const std::wstring file = scratch.MakeDir(L"my files") + L"drop me.bin";
    TouchFile(file);
    const std::wstring typedIn = L"C:\\typed\\in.bin", typedOut = L"C:\\typed\\out.bin";
    App app(scratch.path());
    ASSERT_TRUE(app.window());
    // Where it is dropped, and the field it fills (0: none).
    const std::pair<int, int> targets[] = {
        {IDC_LABEL1, IDC_BINFILE}, {IDC_BINFILE, IDC_BINFILE}, {IDC_COMMAND1, IDC_BINFILE},
        {IDC_LABEL2, IDC_DEST},    {IDC_DEST, IDC_DEST},       {IDC_COMMAND2, IDC_DEST},
        {IDC_COMMAND3, 0}};
    for (auto [onto, fills] : targets) {
        SCOPED_TRACE(testing::Message() << "dropped onto control " << onto);
        app.SetText(IDC_BINFILE, typedIn);
        app.SetText(IDC_DEST, typedOut);
        DropOnto(app, onto, {file}, __LINE__);
        EXPECT_EQ(fills == IDC_BINFILE ? file : typedIn, app.Text(IDC_BINFILE));
        EXPECT_EQ(fills == IDC_DEST ? file : typedOut, app.Text(IDC_DEST));
    }
    // Of several files dropped at once, the first counts.
    DropOnto(app, IDC_DEST, {file, scratch.path() + L"kx.exe"}, __LINE__);
    EXPECT_EQ(file, app.Text(IDC_DEST));
    // While a message box is up the window is disabled, and a drop does nothing either.
    app.SetText(IDC_BINFILE, L"");
    app.Click(IDC_COMMAND3);
    HWND box = app.WaitForDialog(L"Error");
    ASSERT_TRUE(box);
    DropOnto(app, IDC_LABEL1, {file}, __LINE__);
    app.CloseMessageBox(box);
    EXPECT_EQ(L"", app.Text(IDC_BINFILE));
    // Nothing remembered, nothing started.
    EXPECT_FALSE(ReadSetting(L"FolderOpen").present);
    EXPECT_FALSE(ReadSetting(L"FolderRec").present);
    EXPECT_TRUE(app.Running());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((scratch.path() + L"kx-record.txt").c_str()));
}

}  // namespace
}  // namespace e2e

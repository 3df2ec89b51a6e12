// The program's only window: two labelled path fields, two browse buttons and the run button.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "app/CommonDialog.h"
#include "app/FixedFrame.h"
#include "app/Picture.h"
#include "common/Unique.h"

class Form1 {
public:
    // Creates the window and its controls (running the load step), not yet shown.
    bool Create(HINSTANCE instance);
    void Show(int showCommand);

    // Keyboard handling ahead of dispatch, for the message loop: true when it handled msg.
    bool PreTranslateMessage(MSG& msg);

private:
    struct State {
        HINSTANCE instance{};
        HWND hwnd{};
        HWND Label1{}, BinFile{}, Command1{}, Label2{}, Dest{}, Command2{}, Command3{};
        FixedFrame frame;  // the DPI, the font, the layout and the fixed size
        UniqueGdi<HBRUSH> backColor;
        Picture picture;
        HWND lastFocus{};  // given back when the window is activated again
        // Starting folders of the two dialogs, read once at load.
        std::wstring InitDirOpen, InitDirRec;
        CommonDialog dlgCommonDialog;
        UniqueModule shell;  // reads dropped files; loaded at the first drop, not at start-up
    };

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnCreate();
    void OnPaint();
    void DrawForm(HDC dc, const RECT& client) const;
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void OnActivate(WPARAM wParam);
    void OnCommand(WPARAM wParam);
    void Form_Load();
    void Form_Resize(WPARAM sizeType);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Dest_KeyPress(wchar_t keyAscii);
    void Form_DropFiles(HDROP drop);
    void FillFromDrop(HDROP drop);

    void Browse(const std::wstring& initDir, const wchar_t* title, bool save, HWND field,
                const wchar_t* valueName);
    void ShowError(const wchar_t* text);

    State state_;
};

// What the main window is made of, in twips so that it grows with the screen's dots per inch:
// its frame and caption, its colours, its client area and its seven controls. The program
// builds its window from this, and so does the benchmark's window floor, which must stay the
// same window.
#pragma once

#include <windows.h>

#include "resource.h"

namespace form {

constexpr wchar_t kCaption[] = L"Ostrafel Frontend 1.2";
constexpr COLORREF kBackColor = RGB(1, 0, 66);
constexpr COLORREF kLabelColor = RGB(255, 255, 255);
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

constexpr int kTwipsPerInch = 1440;
constexpr SIZE kClientSize = {3540, 2070};

struct Placement {
    int left, top, width, height;
};

struct ControlSpec {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    Placement place;
};

// In creation order, which is the z-order: each label comes right before its field, so that
// screen readers name the field after it; the labels take no focus, so the tab order is the
// order of the rest.
constexpr DWORD kLabelStyle = SS_LEFT | SS_NOPREFIX;
constexpr ControlSpec kControls[] = {
    {IDC_LABEL1, L"STATIC", L"Choose your Bin file", kLabelStyle, 0, {120, 120, 1455, 255}},
    {IDC_BINFILE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {120, 360, 2775, 285}},
    {IDC_COMMAND1, L"BUTTON", L"...", WS_TABSTOP | BS_PUSHBUTTON, 0, {3000, 360, 375, 285}},
    {IDC_LABEL2, L"STATIC", L"Choose the destination", kLabelStyle, 0, {120, 840, 2175, 255}},
    {IDC_DEST, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {120, 1080, 2775, 285}},
    {IDC_COMMAND2, L"BUTTON", L"...", WS_TABSTOP | BS_PUSHBUTTON, 0, {3000, 1080, 375, 285}},
    {IDC_COMMAND3, L"BUTTON", L"by Ravelyn -=GO=-", WS_TABSTOP | BS_PUSHBUTTON, 0, {120, 1560, 3255, 375}},
};

}  // namespace form

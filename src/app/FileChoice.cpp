#include "app/FileChoice.h"

#include <windows.h>

std::wstring PlatformFilter(const std::wstring& filter) {
    std::wstring result = filter;
    for (wchar_t& c : result)
        if (c == L'|') c = L'\0';
    result += L'\0';
    return result;
}

const wchar_t* DialogStartFolder(const std::wstring& folder) {
    if (folder.empty() || folder.size() >= MAX_PATH) return nullptr;
    return folder.c_str();
}

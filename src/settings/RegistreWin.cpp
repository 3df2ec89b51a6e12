#include "settings/RegistreWin.h"

#include "common/Unique.h"

#include <limits>

namespace {

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// A value may be rewritten between the size query and the data query; a few retries
// cover a writer racing us without looping forever on one that never settles.
constexpr int kMaxDataQueries = 8;

}  // namespace

HKEY HKeyFromCode(int32_t code) {
    switch (code) {
    case 0:
        return HKEY_LOCAL_MACHINE;
    case 1:
        return HKEY_CURRENT_USER;
    case 2:
        return HKEY_CLASSES_ROOT;
    case 3:
        return HKEY_USERS;
    case 4:
        return HKEY_PERFORMANCE_DATA;
    default:
        return nullptr;
    }
}

void SaveRegString(int32_t code, const std::wstring& subKey, const std::wstring& valueName,
                   const std::wstring& data) {
    if (data.size() >= std::numeric_limits<DWORD>::max() / sizeof(wchar_t)) return;
    UniqueHKey hKeyCur;
    if (RegCreateKeyW(HKeyFromCode(code), subKey.c_str(), hKeyCur.put()) != ERROR_SUCCESS) return;
    // The stored size counts the terminating NUL, as REG_SZ expects.
    const size_t bytes = (data.size() + 1) * sizeof(wchar_t);
    const DWORD cbData = static_cast<DWORD>(bytes);
    RegSetValueExW(hKeyCur.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   cbData);
}

std::wstring GetRegString(int32_t code, const std::wstring& subKey, const std::wstring& valueName) {
    UniqueHKey hKeyCur;
    if (RegCreateKeyW(HKeyFromCode(code), subKey.c_str(), hKeyCur.put()) != ERROR_SUCCESS) return {};

    DWORD type = REG_NONE;
    DWORD cbData = 0;
    if (RegQueryValueExW(hKeyCur.get(), valueName.c_str(), nullptr, &type, nullptr, &cbData) !=
            ERROR_SUCCESS ||
        !IsText(type))
        return {};

    std::wstring text;
    for (int query = 0; query < kMaxDataQueries; ++query) {
        // One spare character: room for an odd byte count, and never an empty buffer.
        text.assign(cbData / sizeof(wchar_t) + 1, L'\0');
        const LSTATUS status = RegQueryValueExW(hKeyCur.get(), valueName.c_str(), nullptr, &type,
                                                reinterpret_cast<BYTE*>(&text[0]), &cbData);
        if (status == ERROR_MORE_DATA) continue;  // the value grew; cbData holds its new size
        if (status != ERROR_SUCCESS || !IsText(type)) return {};

        // The data need not end with a NUL and may hold one early; a stray odd byte is dropped.
        text.resize(cbData / sizeof(wchar_t));
        const std::wstring::size_type nul = text.find(L'\0');
        if (nul != std::wstring::npos) text.resize(nul);
        return text;
    }
    return {};
}

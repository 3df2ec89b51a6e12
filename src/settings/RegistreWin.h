// A small store of text settings in the registry. Nothing is reported to the caller:
// a failed read gives "" and a failed write is dropped.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Root key for a stored code: 0 HKLM, 1 HKCU, 2 HKCR, 3 HKU, 4 HKEY_PERFORMANCE_DATA.
// Any other code gives nullptr, on which every registry call fails.
HKEY HKeyFromCode(int32_t code);

// Stores data as REG_SZ under root\subKey, creating the key if it is missing.
void SaveRegString(int32_t code, const std::wstring& subKey, const std::wstring& valueName,
                   const std::wstring& data);

// Reads a REG_SZ or REG_EXPAND_SZ value as stored (not expanded), up to its first NUL.
// Creates a missing key. A missing value, or a value of another type, reads as "".
std::wstring GetRegString(int32_t code, const std::wstring& subKey, const std::wstring& valueName);

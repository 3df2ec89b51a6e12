// Counts this process's open handles to a registry key, for leak tests. Wine's
// GetProcessHandleCount always answers 0, so this walks the system handle table.
#pragma once

#include <windows.h>

#include <string>

// Open key handles of this process whose kernel name ends with pathSuffix, compared
// case-insensitively (e.g. L"\\Software\\QuorvaneTest\\Leak"); -1 if the table cannot be read.
int CountOpenKeyHandles(const std::wstring& pathSuffix);

// The kernel's name for an open key, e.g. \REGISTRY\USER\S-1-5-21-...\Software\...
std::wstring KernelKeyName(HKEY key);

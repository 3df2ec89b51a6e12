// Libraries the program loads itself come from the system folder and nowhere else: a file
// of the same name beside the program (a downloads folder, say) must never run inside it.
#pragma once

#include <windows.h>

#include "common/Unique.h"

// Limits every later library search of the process, including those made on its behalf,
// to the system folder where the platform can; elsewhere at least drops the current folder.
void RestrictLibrarySearch();

// name (a bare file name) from the system folder, with its own dependencies from there too.
UniqueModule LoadSystemLibrary(const wchar_t* name);

// A function of a loaded library, looked up at run time (nullptr where it has none), so that
// the program does not depend on a library or a version of it just to start.
template <typename Function>
Function LibraryFunction(HMODULE module, const char* name) {
    // Through the function type that compilers take as "any function", not through data.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
